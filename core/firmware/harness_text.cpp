#include "core/firmware/harness_text.h"

#include <stdexcept>

namespace {

// Text that goes into a C comment: no "*/" may end it early, and no control
// character may break its line.
std::string comment_safe(std::string_view text) {
    std::string out;
    for (const char c : text) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) out += '?';
        else if (c == '/' && !out.empty() && out.back() == '*') out += " /";
        else out += c;
    }
    return out;
}

// Replaces each @NAME@ of `text` by its value.
std::string fill(std::string text, std::initializer_list<std::pair<std::string_view, std::string>> values) {
    for (const auto& [name, value] : values) {
        const std::string token = "@" + std::string(name) + "@";
        for (std::size_t at = text.find(token); at != std::string::npos; at = text.find(token, at + value.size())) {
            text.replace(at, token.size(), value);
        }
    }
    return text;
}

std::size_t block_count(std::size_t items) { return (items + HARNESS_BLOCK - 1) / HARNESS_BLOCK; }

void append_record(std::string& out, const PidController& c) {
    out += '{';
    for (std::size_t i = 0; i < PID_FIELDS.size(); ++i) {
        if (i > 0) out += ", ";
        out += std::to_string(c.*PID_FIELDS[i]);
    }
    out += '}';
}

// The vectors, block by block, each block inside its own #if; then the
// number (from 0) of each block's first vector, likewise.
template <class Item, class AppendItem>
void append_blocks(std::string& out, std::string_view macro, std::string_view type, std::string_view array,
                   std::span<const Item> items, AppendItem&& appendItem) {
    out += "static const ";
    out += type;
    out += ' ';
    out += array;
    out += "[] = {\n";
    for (std::size_t b = 0; b < block_count(items.size()); ++b) {
        out += "#if " + std::string(macro) + "(" + std::to_string(b) + ")\n";
        const std::size_t end = std::min(items.size(), (b + 1) * HARNESS_BLOCK);
        for (std::size_t i = b * HARNESS_BLOCK; i < end; ++i) {
            out += "    ";
            appendItem(out, items[i], i);
            out += ",\n";
        }
        out += "#endif\n";
    }
    out += "};\n";
}

void append_block_firsts(std::string& out, std::string_view macro, std::string_view array, std::size_t items) {
    out += "static const uint32_t ";
    out += array;
    out += "[] = {\n";
    for (std::size_t b = 0; b < block_count(items); ++b) {
        out += "#if " + std::string(macro) + "(" + std::to_string(b) + ")\n    " +
               std::to_string(b * HARNESS_BLOCK) + ",\n#endif\n";
    }
    out += "};\n";
}

// The parts a target may compile on their own, and the test of a block.
std::string parts_block(std::string_view prefix, std::size_t items, std::size_t blocks) {
    return fill(R"(#define @P@_COUNT @COUNT@L
#define @P@_BLOCK @BLOCK@
#define @P@_BLOCKS @BLOCKS@
#ifndef @P@_PARTS
#define @P@_PARTS 1
#endif
#ifndef @P@_PART
#define @P@_PART 0
#endif
#if @P@_PARTS < 1 || @P@_PARTS > @P@_BLOCKS
#error "@P@_PARTS must be from 1 to @BLOCKS@"
#endif
#if @P@_PART < 0 || @P@_PART >= @P@_PARTS
#error "@P@_PART must be from 0 to @P@_PARTS - 1"
#endif
/* Block b of the vectors belongs to part b * PARTS / BLOCKS: every part gets
 * at least one block, and the parts are about equal. */
#define @P@_IN(b) ((b) * @P@_PARTS / @P@_BLOCKS == @P@_PART)
)",
                {{"P", std::string(prefix)},
                 {"COUNT", std::to_string(items)},
                 {"BLOCK", std::to_string(HARNESS_BLOCK)},
                 {"BLOCKS", std::to_string(blocks)}});
}

const char kRecordType[] = R"(/* The controller's record: every field a signed 16-bit register. */
typedef struct {
    int16_t w, x, y, ta, e, eSum, ePrev, kp, ki, kd;
} PidController;
)";

// The state the target's two loops share, as the check and the README show it.
const char kStateType[] = R"(typedef struct {
    int16_t actualSpeed;              /* measured speed: the speed loop's input */
    int16_t actualPosition;           /* measured position: the position loop's input */
    PidController speedController;    /* inner loop; its w is the speed setpoint */
    PidController positionController; /* outer loop; its w is the position setpoint */
    uint8_t pwmDuty;                  /* PWM magnitude, 0 ... 255 */
    int8_t pwmDirection;              /* +1 forward, -1 reverse; kept when the output is 0 */
} CascadeState;
)";

const char kReportMacro[] = R"(#ifndef VECTORS_PRINTF
#define VECTORS_PRINTF printf
#endif
)";

// The end of a check: the count of a pass, and main() unless the target's
// tests call the check themselves.
const char kCheckEnd[] = R"(#if @P@_PARTS == 1
    VECTORS_PRINTF("@NAME@: %lu vectors, 0 differ\n", (unsigned long)count);
#else
    VECTORS_PRINTF("@NAME@: %lu vectors, 0 differ (part %d of %d)\n", (unsigned long)count,
                   @P@_PART + 1, @P@_PARTS);
#endif
    return 0;
}

#ifndef VECTORS_NO_MAIN
int main(void) { return @NAME@(); }
#endif
)";

const char kPidHead[] = R"(/* pid_vectors_check.c: the bench's controller step, vector by vector.
 *
 * Made by: @COMMAND@
 * @COUNT@ vectors: @EDGES@ edge cases, one or more for each rule of the step,
 * then @RANDOM@ random ones. Make it anew rather than edit it.
 *
 * Link it with the target's pid_update and run it: it prints
 * "@COUNT@ vectors, 0 differ" and returns 0, or stops at the first vector
 * whose record comes out different, reports it and returns 1. README.md
 * beside it says more.
 *
 * Defines, all optional:
 *   PID_VECTORS_PARTS=n PID_VECTORS_PART=k
 *                    only part k (0 ... n-1) of n about equal parts of the
 *                    vectors, for a target short of memory; run every part
 *   VECTORS_NO_MAIN  no main(): call pid_vectors_check() from your tests
 *   VECTORS_PRINTF   the printf-like function the report goes through
 */
#include <stdbool.h>
#include <stdint.h>
#include <stdio.h>

@RECORD@
/* The target's controller step, with C linkage. */
bool pid_update(PidController *c, int16_t actual);

int pid_vectors_check(void);

typedef struct {
    PidController before; /* the record before the step */
    int16_t actual;       /* the measured value handed to it */
    PidController after;  /* the record after it */
} PidVector;

)";

const char kPidCheck[] = R"(
@REPORT@
static const char *const pid_field_names[10] = {"w", "x", "y", "ta", "e", "eSum", "ePrev", "kp", "ki", "kd"};

/* The fields in the order the step writes them, then those it only reads:
 * the field reported is where the target went wrong first. */
static const unsigned char pid_check_order[10] = {1, 4, 5, 2, 6, 0, 3, 7, 8, 9};

static int pid_field(const PidController *c, unsigned char field) {
    switch (field) {
    case 0: return c->w;
    case 1: return c->x;
    case 2: return c->y;
    case 3: return c->ta;
    case 4: return c->e;
    case 5: return c->eSum;
    case 6: return c->ePrev;
    case 7: return c->kp;
    case 8: return c->ki;
    default: return c->kd;
    }
}

static void pid_print_record(const char *label, const PidController *c) {
    VECTORS_PRINTF("  %-7s w=%d x=%d y=%d ta=%d e=%d eSum=%d ePrev=%d kp=%d ki=%d kd=%d\n", label, c->w, c->x,
                   c->y, c->ta, c->e, c->eSum, c->ePrev, c->kp, c->ki, c->kd);
}

static int pid_report(uint32_t number, const PidVector *v, const PidController *got, int field) {
    if (field < 0) {
        VECTORS_PRINTF("pid_vectors_check: vector %lu of %lu: pid_update returned false\n",
                       (unsigned long)number, (unsigned long)PID_VECTORS_COUNT);
    } else {
        const int g = pid_field(got, (unsigned char)field);
        const int w = pid_field(&v->after, (unsigned char)field);
        VECTORS_PRINTF("pid_vectors_check: vector %lu of %lu differs in field %s: got %d, wanted %d, xor 0x%04X\n",
                       (unsigned long)number, (unsigned long)PID_VECTORS_COUNT, pid_field_names[field], g, w,
                       (unsigned)(uint16_t)(g ^ w));
    }
    if (number <= PID_VECTORS_EDGE_CASES) VECTORS_PRINTF("  edge case: %s\n", pid_edge_case_names[number - 1]);
    pid_print_record("before:", &v->before);
    VECTORS_PRINTF("  actual: %d\n", v->actual);
    pid_print_record("wanted:", &v->after);
    pid_print_record("got:", got);
    return 1;
}

int pid_vectors_check(void) {
    const uint32_t count = (uint32_t)(sizeof pid_vectors / sizeof pid_vectors[0]);
    uint32_t i;
    for (i = 0; i < count; ++i) {
        const PidVector *v = &pid_vectors[i];
        const uint32_t number = pid_vector_blocks[i / PID_VECTORS_BLOCK] + i % PID_VECTORS_BLOCK + 1u;
        PidController got = v->before;
        unsigned char f;
        if (!pid_update(&got, v->actual)) return pid_report(number, v, &got, -1);
        for (f = 0; f < 10; ++f) {
            const unsigned char field = pid_check_order[f];
            if (pid_field(&got, field) != pid_field(&v->after, field)) return pid_report(number, v, &got, field);
        }
    }
@END@)";

const char kCascadeHead[] = R"(/* cascade_vectors_check.c: the bench's speed and position cascade, pass by pass.
 *
 * Made by: @COMMAND@
 * @COUNT@ passes of a @MODE@-mode regulation run. The drive model stays on the
 * bench: each pass hands the target's loops the measured speed@POSITION@ the
 * bench saw, and compares the state they leave with the bench's. Make it
 * anew rather than edit it.
 *
 * Link it with the target's regulate_speed and regulate_position (and the
 * pid_update they use) and run it: it prints "@COUNT@ vectors, 0 differ" and
 * returns 0, or stops at the first pass whose state comes out different,
 * reports it and returns 1. README.md beside it says more.
 *
 * Defines, all optional:
 *   CASCADE_VECTORS_PARTS=n CASCADE_VECTORS_PART=k
 *                    only part k (0 ... n-1) of n about equal parts of the
 *                    passes (each starts from the state the bench had
 *                    there), for a target short of memory; run every part
 *   VECTORS_NO_MAIN  no main(): call cascade_vectors_check() from your tests
 *   VECTORS_PRINTF   the printf-like function the report goes through
 */
#include <stdint.h>
#include <stdio.h>

@RECORD@
/* What the two loops work on. */
@STATE@
/* The target's loops, with C linkage. */
void regulate_speed(CascadeState *s);
void regulate_position(CascadeState *s, int16_t setpoint);

int cascade_vectors_check(void);

typedef struct {
    int16_t speed;                    /* actualSpeed handed to the loops */
    int16_t position;                 /* actualPosition handed to them (0 in speed mode) */
    int16_t commandX;                 /* position mode: the setpoint of regulate_position */
    PidController positionController; /* the state after the pass */
    PidController speedController;
    uint8_t pwmDuty;
    int8_t pwmDirection;
} CascadePass;

#define CASCADE_SPEED_MODE @SPEED_MODE@
)";

const char kCascadeCheck[] = R"(
@REPORT@
#define CASCADE_FIELDS 24

/* The fields in the order the pass writes them: the position loop's record,
 * the speed setpoint it hands on, the speed loop's record, the PWM output;
 * then the inputs, which the loops only read. */
static const char *const cascade_field_names[CASCADE_FIELDS] = {
    "positionController.x", "positionController.e", "positionController.eSum", "positionController.y",
    "positionController.ePrev", "positionController.w", "positionController.ta", "positionController.kp",
    "positionController.ki", "positionController.kd", "speedController.w", "speedController.x",
    "speedController.e", "speedController.eSum", "speedController.y", "speedController.ePrev",
    "speedController.ta", "speedController.kp", "speedController.ki", "speedController.kd", "pwmDuty",
    "pwmDirection", "actualSpeed", "actualPosition"};

static long cascade_field(const CascadeState *s, unsigned char field) {
    const PidController *p = &s->positionController;
    const PidController *v = &s->speedController;
    switch (field) {
    case 0: return p->x;
    case 1: return p->e;
    case 2: return p->eSum;
    case 3: return p->y;
    case 4: return p->ePrev;
    case 5: return p->w;
    case 6: return p->ta;
    case 7: return p->kp;
    case 8: return p->ki;
    case 9: return p->kd;
    case 10: return v->w;
    case 11: return v->x;
    case 12: return v->e;
    case 13: return v->eSum;
    case 14: return v->y;
    case 15: return v->ePrev;
    case 16: return v->ta;
    case 17: return v->kp;
    case 18: return v->ki;
    case 19: return v->kd;
    case 20: return s->pwmDuty;
    case 21: return s->pwmDirection;
    case 22: return s->actualSpeed;
    default: return s->actualPosition;
    }
}

static void cascade_print_state(const char *label, const CascadeState *s) {
    const PidController *p = &s->positionController;
    const PidController *v = &s->speedController;
    VECTORS_PRINTF("  %s actualSpeed=%d actualPosition=%d pwmDuty=%d pwmDirection=%d\n", label, s->actualSpeed,
                   s->actualPosition, s->pwmDuty, s->pwmDirection);
    VECTORS_PRINTF("    positionController w=%d x=%d y=%d ta=%d e=%d eSum=%d ePrev=%d kp=%d ki=%d kd=%d\n", p->w,
                   p->x, p->y, p->ta, p->e, p->eSum, p->ePrev, p->kp, p->ki, p->kd);
    VECTORS_PRINTF("    speedController    w=%d x=%d y=%d ta=%d e=%d eSum=%d ePrev=%d kp=%d ki=%d kd=%d\n", v->w,
                   v->x, v->y, v->ta, v->e, v->eSum, v->ePrev, v->kp, v->ki, v->kd);
}

static int cascade_report(uint32_t number, const CascadePass *pass, const CascadeState *before,
                          const CascadeState *wanted, const CascadeState *got, unsigned char field) {
    const long g = cascade_field(got, field);
    const long w = cascade_field(wanted, field);
    const unsigned long bits = (unsigned long)(g ^ w) & (field == 20 || field == 21 ? 0xFFul : 0xFFFFul);
    VECTORS_PRINTF("cascade_vectors_check: pass %lu of %lu differs in %s: got %ld, wanted %ld, xor 0x%0*lX\n",
                   (unsigned long)number, (unsigned long)CASCADE_VECTORS_COUNT, cascade_field_names[field], g, w,
                   field == 20 || field == 21 ? 2 : 4, bits);
#if CASCADE_SPEED_MODE
    VECTORS_PRINTF("  inputs: speed %d\n", pass->speed);
#else
    VECTORS_PRINTF("  inputs: speed %d, position %d, command X %d\n", pass->speed, pass->position, pass->commandX);
#endif
    cascade_print_state("before:", before);
    cascade_print_state("wanted:", wanted);
    cascade_print_state("got:", got);
    return 1;
}

int cascade_vectors_check(void) {
    const uint32_t count = (uint32_t)(sizeof cascade_passes / sizeof cascade_passes[0]);
    CascadeState state = cascade_block_start[0];
    uint32_t i;
    for (i = 0; i < count; ++i) {
        const CascadePass *pass = &cascade_passes[i];
        const uint32_t number = cascade_block_first[i / CASCADE_VECTORS_BLOCK] + i % CASCADE_VECTORS_BLOCK + 1u;
        CascadeState before;
        CascadeState wanted;
        unsigned char f;
        if (i % CASCADE_VECTORS_BLOCK == 0) state = cascade_block_start[i / CASCADE_VECTORS_BLOCK];
        state.actualSpeed = pass->speed;
        state.actualPosition = pass->position;
        before = state;
#if !CASCADE_SPEED_MODE
        regulate_position(&state, pass->commandX);
#endif
        regulate_speed(&state);
        wanted.actualSpeed = pass->speed;
        wanted.actualPosition = pass->position;
        wanted.positionController = pass->positionController;
        wanted.speedController = pass->speedController;
        wanted.pwmDuty = pass->pwmDuty;
        wanted.pwmDirection = pass->pwmDirection;
        for (f = 0; f < CASCADE_FIELDS; ++f) {
            if (cascade_field(&state, f) != cascade_field(&wanted, f)) {
                return cascade_report(number, pass, &before, &wanted, &state, f);
            }
        }
    }
@END@)";

void append_state(std::string& out, const CascadeState& s) {
    out += '{' + std::to_string(s.actualSpeed) + ", " + std::to_string(s.actualPosition) + ", ";
    append_record(out, s.speedController);
    out += ", ";
    append_record(out, s.positionController);
    out += ", " + std::to_string(s.pwmDuty) + ", " + std::to_string(s.pwmDirection) + '}';
}

const char kReadme[] = R"(# Checking a target's controller against the bench

Two self-contained C99 checks made by vantrel-trace, with the bench's vectors
as `static const` arrays. They use no heap and no files; the report goes
through `printf`. Compare bit for bit: no tolerance.

- `pid_vectors_check.c`: @PID_COUNT@ vectors of one controller step (@EDGES@ edge
  cases, one or more for each rule of the step, then @RANDOM@ random ones),
  about @PID_KB@ KiB of read-only data. Made by `@PID_COMMAND@`.
- `cascade_vectors_check.c`: the @PASSES@ passes of a @MODE@-mode regulation run,
  about @CASCADE_KB@ KiB of read-only data. Made by `@RUN_COMMAND@`.

## What the target provides

```c
typedef struct { int16_t w, x, y, ta, e, eSum, ePrev, kp, ki, kd; } PidController;
bool pid_update(PidController *c, int16_t actual);

@STATE@void regulate_speed(CascadeState *s);
void regulate_position(CascadeState *s, int16_t setpoint);
```

`pid_update` is one step on the record (gains in hundredths). `regulate_speed`
steps `s->speedController` on `s->actualSpeed` and sets `pwmDuty` and
`pwmDirection` from its output. `regulate_position` sets
`s->positionController.w` to the setpoint, steps that controller on
`s->actualPosition` and hands its output, limited to -255 ... 255, to
`s->speedController.w`. All with C linkage. Where the target's own types are
laid out otherwise, link a small wrapper with these names that copies into
them and back.

For every pass the cascade check sets `actualSpeed` and `actualPosition` to
what the bench measured, calls `regulate_position` (position mode) and
`regulate_speed`, and compares the whole state with the bench's. It proves
the limits and the PWM mapping only as far as the run reaches them: make it
from the gains the target will run, and from a run that drives the output to
its limits as well (larger gains) where those must be proved.

## On the host

```sh
cc -std=c99 -Wall -Wextra -pedantic pid_vectors_check.c your_pid.c -o pid_check && ./pid_check
cc -std=c99 -Wall -Wextra -pedantic cascade_vectors_check.c your_pid.c your_cascade.c -o cascade_check && ./cascade_check
```

Each prints `N vectors, 0 differ` and exits 0, or stops at the first vector
that differs and exits 1.

## In the target's unit tests

Compile with `-DVECTORS_NO_MAIN` and call `pid_vectors_check()` and
`cascade_vectors_check()`: 0 when every vector agrees, 1 at the first that
does not. `-DVECTORS_PRINTF=your_printf` sends the report elsewhere.

Where the data does not fit, compile a part at a time:
`-DPID_VECTORS_PARTS=4 -DPID_VECTORS_PART=0` keeps only the first of four
about equal parts (0 to 3), and likewise `CASCADE_VECTORS_PARTS` and
`CASCADE_VECTORS_PART` (each part of the run starts from the state the bench
had there). Run every part once. The vectors come in blocks of @BLOCK@, so
there are at most as many parts as blocks.

## A divergence report

The first field named is where the target went wrong first: the fields are
compared in the order the step (or the pass) writes them. Then the vector's
number (from 1; an edge case also by name), the value got and wanted, the
bits that differ, and the record before the step:

```
pid_vectors_check: vector 12 of @PID_COUNT@ differs in field eSum: got 255, wanted -255, xor 0xFFFE
  edge case: sum wraps past +32767 before its clamp
  before: w=32600 x=0 y=0 ta=1 e=0 eSum=255 ePrev=0 kp=0 ki=10 kd=0
  actual: 0
  wanted: w=32600 x=0 y=-25 ta=1 e=32600 eSum=-255 ePrev=32600 kp=0 ki=10 kd=0
  got:    w=32600 x=0 y=25 ta=1 e=32600 eSum=255 ePrev=32600 kp=0 ki=10 kd=0
```

`vantrel-trace vectors pid --format csv` and `vectors run` give the same
vectors as CSV for a test framework of your own.
)";

}  // namespace

std::string pid_vectors_c(std::span<const PidVector> vectors, std::string_view command) {
    const std::size_t edges = pid_edge_cases().size();
    std::string out = fill(kPidHead, {{"COMMAND", comment_safe(command)},
                                      {"COUNT", std::to_string(vectors.size())},
                                      {"EDGES", std::to_string(edges)},
                                      {"RANDOM", std::to_string(vectors.size() - edges)},
                                      {"RECORD", kRecordType}});
    out += parts_block("PID_VECTORS", vectors.size(), block_count(vectors.size()));
    out += "#define PID_VECTORS_EDGE_CASES " + std::to_string(edges) + "\n\n";
    append_blocks(out, "PID_VECTORS_IN", "PidVector", "pid_vectors", vectors,
                  [](std::string& text, const PidVector& v, std::size_t) {
                      text += '{';
                      append_record(text, v.before);
                      text += ", " + std::to_string(v.actual) + ", ";
                      append_record(text, v.after);
                      text += '}';
                  });
    out += "\n/* The number (from 0) of the first vector of each block compiled in. */\n";
    append_block_firsts(out, "PID_VECTORS_IN", "pid_vector_blocks", vectors.size());
    out += "\nstatic const char *const pid_edge_case_names[PID_VECTORS_EDGE_CASES] = {\n";
    for (const PidEdgeCase& edge : pid_edge_cases()) out += "    \"" + std::string(edge.name) + "\",\n";
    out += "};\n";
    out += fill(kPidCheck, {{"REPORT", kReportMacro},
                            {"END", kCheckEnd},
                            {"P", "PID_VECTORS"},
                            {"NAME", "pid_vectors_check"}});
    return out;
}

std::string cascade_vectors_c(const RunVectors& run, std::string_view command) {
    if (run.passes.empty()) throw std::invalid_argument("the run makes no pass: there is nothing to check");
    const std::size_t count = run.passes.size();
    std::string out = fill(kCascadeHead, {{"COMMAND", comment_safe(command)},
                                          {"COUNT", std::to_string(count)},
                                          {"MODE", run.speedMode ? "speed" : "position"},
                                          {"POSITION", run.speedMode ? "" : " and position"},
                                          {"RECORD", kRecordType},
                                          {"STATE", kStateType},
                                          {"SPEED_MODE", run.speedMode ? "1" : "0"}});
    out += parts_block("CASCADE_VECTORS", count, block_count(count));
    out += '\n';
    append_blocks(out, "CASCADE_VECTORS_IN", "CascadePass", "cascade_passes", std::span(run.passes),
                  [](std::string& text, const CascadePass& p, std::size_t) {
                      text += '{' + std::to_string(p.speed) + ", " + std::to_string(p.position) + ", " +
                              std::to_string(p.commandX) + ", ";
                      append_record(text, p.positionController);
                      text += ", ";
                      append_record(text, p.speedController);
                      text += ", " + std::to_string(p.pwmDuty) + ", " + std::to_string(p.pwmDirection) + '}';
                  });
    out += "\n/* The state before the first pass of each block compiled in: the run's\n"
           " * start, or what the pass before the block left. */\n";
    out += "static const CascadeState cascade_block_start[] = {\n";
    for (std::size_t b = 0; b < block_count(count); ++b) {
        out += "#if CASCADE_VECTORS_IN(" + std::to_string(b) + ")\n    ";
        append_state(out, b == 0 ? run.start : cascade_state_after(run.passes[b * HARNESS_BLOCK - 1]));
        out += ",\n#endif\n";
    }
    out += "};\n\n/* The number (from 0) of the first pass of each block compiled in. */\n";
    append_block_firsts(out, "CASCADE_VECTORS_IN", "cascade_block_first", count);
    out += fill(kCascadeCheck, {{"REPORT", kReportMacro},
                                {"END", kCheckEnd},
                                {"P", "CASCADE_VECTORS"},
                                {"NAME", "cascade_vectors_check"}});
    return out;
}

std::string harness_readme(const HarnessSummary& summary) {
    const auto kib = [](std::size_t bytes) { return std::to_string((bytes + 512) / 1024); };
    return fill(kReadme, {{"PID_COUNT", std::to_string(summary.pidVectors)},
                          {"EDGES", std::to_string(summary.pidVectors - summary.randomVectors)},
                          {"RANDOM", std::to_string(summary.randomVectors)},
                          {"PID_KB", kib(summary.pidVectors * PID_VECTOR_BYTES)},
                          {"PID_COMMAND", summary.pidCommand},
                          {"PASSES", std::to_string(summary.passes)},
                          {"MODE", summary.speedMode ? "speed" : "position"},
                          {"CASCADE_KB", kib(summary.passes * CASCADE_PASS_BYTES)},
                          {"RUN_COMMAND", summary.runCommand},
                          {"BLOCK", std::to_string(HARNESS_BLOCK)},
                          {"STATE", kStateType}});
}
