#pragma once

#include <QString>
#include <cstdint>
#include <vector>

namespace orvelin {

// What a file is, whatever it is called: its device and inode.
struct FileId {
    uint64_t device = 0;
    uint64_t inode = 0;
    bool operator==(const FileId&) const = default;
};

// The files one conversion keeps beside its output while it runs.
//
// A lock file (".NAME.orvelin-lock", locked with flock) keeps every other job
// - in this process or another - off the output's name for the whole run.
// The job writes into a hidden file of its own, created under a name no file
// had (".BASE.orvelin-partial-XXXXXX.EXT") and locked as long as the job
// lives; at the end it takes the output's name in one step. A partial file
// nobody holds locked was left by a program that ended without cleaning up,
// and is removed by the next job to the same output.
//
// Nothing is ever removed or renamed that is one of the files being read
// (`sources`, compared by identity), or that is no longer the file this job
// created.
class OutputFiles {
public:
    OutputFiles() = default;
    ~OutputFiles();
    OutputFiles(const OutputFiles&) = delete;
    OutputFiles& operator=(const OutputFiles&) = delete;

    // Takes the output's lock. False when another job holds it or it cannot
    // be made, with the message for the user in `refusal`.
    bool Claim(const QString& output, QString* refusal);
    bool Claimed() const { return lockFd_ >= 0; }
    const QString& Output() const { return output_; }

    // Removes partial files of the output left by jobs that no longer run,
    // then creates and locks this job's own. False with the reason in
    // `error` when it cannot be created.
    bool CreatePartial(const std::vector<FileId>& sources, QString* error);
    const QString& Partial() const { return partial_; }

    // How the written file ended up.
    struct Placed {
        bool inPlace = false; // the output's name holds it
        QString keptAs;       // where it is instead, when not in place; empty: it is gone
        QString reason;       // why it is not in place
    };
    // Gives the finished partial file the output's name; when that cannot
    // be done, the file stays under a name the user can see when possible,
    // and `keptAs` says where.
    Placed Commit(const std::vector<FileId>& sources);
    // Removes the partial file (a job that failed).
    void Discard(const std::vector<FileId>& sources);
    // Lets go of the output: the lock file goes and the lock with it.
    void Release();

    // The identity of the file at `path`; false when there is none.
    static bool IdOf(const QString& path, FileId* id);

private:
    // The current path of the partial file, followed through renames of
    // its folder; empty when it is not the file this job created.
    QString CurrentPartialPath() const;
    void RemoveStalePartials(const std::vector<FileId>& sources);
    void ClosePartial();

    QString output_;
    QString lockPath_;
    int lockFd_ = -1;
    QString partial_;
    int partialFd_ = -1;
};

} // namespace orvelin
