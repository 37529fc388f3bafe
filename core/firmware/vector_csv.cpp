#include "core/firmware/vector_csv.h"

#include <optional>
#include <string_view>

namespace {

void cell(std::string& out, long value) {
    out += std::to_string(value);
    out += ',';
}

void record_header(std::string& out, std::string_view prefix, std::string_view suffix) {
    for (const std::string_view name : PID_FIELD_NAMES) {
        out += prefix;
        out += name;
        out += suffix;
        out += ',';
    }
}

void record_cells(std::string& out, const PidController& c) {
    for (const auto field : PID_FIELDS) cell(out, c.*field);
}

}  // namespace

std::string pid_vectors_csv(std::span<const PidVector> vectors) {
    std::string out = "vector,";
    record_header(out, "", "");
    out += "actual,";
    record_header(out, "", "_after");
    out += "rules,case\n";
    const auto edges = pid_edge_cases();
    for (std::size_t i = 0; i < vectors.size(); ++i) {
        const PidVector& v = vectors[i];
        cell(out, static_cast<long>(i + 1));
        record_cells(out, v.before);
        cell(out, v.actual);
        record_cells(out, v.after);
        const unsigned rules = pid_rules(v.before, v.actual);
        const char* separator = "";
        for (int bit = 0; bit < PID_RULE_COUNT; ++bit) {
            if ((rules & (1u << bit)) == 0) continue;
            out += separator;
            out += pid_rule_name(bit);
            separator = "|";
        }
        out += ',';
        if (i < edges.size()) out += edges[i].name;
        out += '\n';
    }
    return out;
}

std::string run_vectors_csv(const RunVectors& run) {
    std::string out = "pass,speed,position,command_x,";
    record_header(out, "position_", "");
    record_header(out, "speed_", "");
    out += "pwm_duty,pwm_direction\n";
    const auto row = [&](long pass, const CascadeState& state, std::optional<long> commandX) {
        cell(out, pass);
        cell(out, state.actualSpeed);
        if (run.speedMode) out += ',';
        else cell(out, state.actualPosition);
        if (commandX) cell(out, *commandX);
        else out += ',';
        record_cells(out, state.positionController);
        record_cells(out, state.speedController);
        cell(out, state.pwmDuty);
        out += std::to_string(state.pwmDirection);
        out += '\n';
    };
    row(0, run.start, std::nullopt);
    for (std::size_t i = 0; i < run.passes.size(); ++i) {
        const CascadePass& pass = run.passes[i];
        row(static_cast<long>(i + 1), cascade_state_after(pass),
            run.speedMode ? std::nullopt : std::optional<long>(pass.commandX));
    }
    return out;
}
