#pragma once
// The file an export writes. A regular file (or one not there yet) is written as a new temporary
// file in the same folder and put in the target's place by a rename only when the export is
// complete: a refused, cancelled or failed export leaves the old file exactly as it was, and no
// temporary file behind. A target that a rename cannot replace (a device such as /dev/stdout, a
// FIFO, anything that is not a regular file) is written in place.

#include <QIODevice>
#include <QString>

#include <memory>

struct stat;

class TSafeFileWriterEh
{
public:
    // Opens the file for writing. A file that cannot be created fails with "Cannot create file
    // "%s". %s" (the full path, the system's reason).
    explicit TSafeFileWriterEh(const QString& fileName);
    // Without Commit, the temporary file is removed and the target stays as it was.
    ~TSafeFileWriterEh();
    TSafeFileWriterEh(const TSafeFileWriterEh&) = delete;
    TSafeFileWriterEh& operator=(const TSafeFileWriterEh&) = delete;

    // Where the export writes, unbuffered: a write that fails shows at once.
    QIODevice* Device();
    // Whether the export writes straight into the target (no rename can replace it).
    bool InPlace() const { return fInPlace; }
    // Whether a write to Device has failed; WriteFailure then tells the file and the reason.
    bool WriteFailed() const;
    QString WriteFailure() const;

    // Puts the written file in place of the target: its bytes are on disk before the rename.
    void Commit();

private:
    void OpenInPlace();
    // old: the file being replaced, or none.
    void OpenBeside(const struct stat* old);
    void CloseHandle();

    QString fFileName;  // the target as the user named it, made absolute: for messages
    QString fFinalName; // the file that is replaced: the target, its symbolic links followed
    QString fTempName;  // empty when written in place, or once renamed or removed
    class THandleDevice;
    std::unique_ptr<THandleDevice> fDevice; // writes to fHandle
    int fHandle = -1;
    bool fInPlace = false;
};

// Whether two paths name the same file (the same device and inode, whatever the path: symbolic
// links, "..", another hard link). A path that names no existing file is never the same as any.
bool IsSameFileEh(const QString& a, const QString& b);
