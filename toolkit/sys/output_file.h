#pragma once
// The one way the bench writes a file (trace output, saved CSV and pictures).
//
// A regular file, or a name not yet taken, is written to a temporary file
// beside it and moved over the final name only once it is complete and on
// disk: readers see the old file or the new one, never a part. Where the
// system offers it (Linux's O_TMPFILE), the temporary file has no name until
// the commit links it into place, so no end of the process, SIGKILL and a
// file-size limit included, can leave one behind. Elsewhere it is created
// exclusively, without following links, under a short unpredictable name (so
// names near the length limit work), and removed when the output is
// discarded and when a signal that ends the process by default (SIGINT,
// SIGTERM, SIGHUP, SIGQUIT, SIGUSR1, SIGALRM, SIGXFSZ, ...) ends it. It takes
// the replaced file's mode and, where allowed, its owner.
// A symbolic link at the final name is followed and its target replaced.
// Anything else that exists under the name (a device, a FIFO, a socket) is
// written in place, never replaced. A name of one of this process' open
// descriptors (/dev/stdout, /dev/stderr, /dev/fd/N, /proc/self/fd/N) is
// written through that descriptor, whatever it leads to: the shell's own
// file (`> f`, `>> f`, `2>&1`) is continued where it stands, never replaced
// or reopened at its start. Another process' descriptor (/proc/PID/fd/N) is
// opened in place, a regular file behind it for appending. "-" is standard
// output. A file the user may not write is refused with the system's reason.
// Messages read "Cannot save PATH: reason".
//
// Qt's QSaveFile was the starting point; it suffixes the final name (long
// names fail), creates its temporary file with 0600 and no owner, leaves it
// behind on a signal and does not sync the directory, so this is plain POSIX.
#include <cstddef>
#include <string>

class OutputFile {
public:
    explicit OutputFile(std::string path);
    ~OutputFile();  // discards what was not committed
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;

    // False with `error` set when the output cannot be opened.
    bool open(std::string& error);
    // Writes all of `data`; false from the first failure on (nothing more
    // is written), with the reason kept for error().
    bool write(const char* data, std::size_t size);
    bool failed() const { return errno_ != 0; }
    // "Cannot save PATH: reason" once something failed.
    std::string error() const;
    // Syncs and moves the file to its final name; false with `error` set
    // after any failure (then no file is left behind).
    bool commit(std::string& error);
    // Drops what was written; the final name stays as it was.
    void discard();

    // What the messages call the output.
    const std::string& name() const { return name_; }

private:
    bool link_unnamed();

    std::string path_;
    std::string name_;
    std::string target_;     // the final name with links followed
    std::string temporary_;  // the named temporary file; empty when unnamed or written in place
    bool unnamed_ = false;   // an O_TMPFILE file that the commit links into place
    bool existed_ = false;   // the final name held a file at the opening
    int fd_ = -1;
    bool ownsFd_ = false;
    int errno_ = 0;
};
