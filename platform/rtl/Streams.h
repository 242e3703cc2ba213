// Byte streams as the picture readers and writers use them: a position, a size, reads that
// may come up short (`Read`) or must be complete (`ReadBuffer`, which raises EReadError), and
// writes. `TMemoryStream` holds its bytes in memory; `TFileStream` reads or writes a file.
// A stream belongs to its creator and is used from one thread at a time.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <stdexcept>
#include <string>
#include <vector>

namespace rtl {

class EStreamError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};
class EReadError : public EStreamError {
public:
    using EStreamError::EStreamError;
};
class EWriteError : public EStreamError {
public:
    using EStreamError::EStreamError;
};
class EFOpenError : public EStreamError {
public:
    using EStreamError::EStreamError;
};

enum TSeekOrigin { soBeginning, soCurrent, soEnd };

class TStream {
public:
    virtual ~TStream() = default;
    // Reads up to count bytes; returns how many were read (0 at the end).
    virtual int64_t Read(void* buffer, int64_t count) = 0;
    virtual int64_t Write(const void* buffer, int64_t count) = 0;
    // Returns the new position; positions are clamped to 0 from below.
    virtual int64_t Seek(int64_t offset, TSeekOrigin origin) = 0;
    virtual int64_t Size() = 0;
    virtual void SetSize(int64_t size) = 0;

    int64_t Position() { return Seek(0, soCurrent); }
    void SetPosition(int64_t p) { Seek(p, soBeginning); }
    // Bytes left from the position to the end; 0 when the position lies past the end (a seek
    // may put it there), so a reader never takes a negative count for a size.
    int64_t Remaining() { return std::max<int64_t>(0, Size() - Position()); }
    // All count bytes or EReadError "Stream read error".
    void ReadBuffer(void* buffer, int64_t count);
    // All count bytes or EWriteError "Stream write error".
    void WriteBuffer(const void* buffer, int64_t count);
    // Copies count bytes (all of source from its start when count is 0); returns the count.
    int64_t CopyFrom(TStream& source, int64_t count);
};

class TMemoryStream : public TStream {
public:
    TMemoryStream() = default;
    explicit TMemoryStream(std::vector<uint8_t> bytes) : data_(std::move(bytes)) {}
    int64_t Read(void* buffer, int64_t count) override;
    int64_t Write(const void* buffer, int64_t count) override;
    int64_t Seek(int64_t offset, TSeekOrigin origin) override;
    int64_t Size() override { return int64_t(data_.size()); }
    void SetSize(int64_t size) override;
    void Clear();
    const uint8_t* Memory() const { return data_.data(); }
    const std::vector<uint8_t>& Bytes() const { return data_; }
    // The whole file (also a built-in ":/" resource); EFOpenError when it cannot be read.
    void LoadFromFile(const std::string& path);
    void LoadFromStream(TStream& source);
    // Written through a temporary file that replaces `path` only when complete.
    void SaveToFile(const std::string& path);

private:
    std::vector<uint8_t> data_;
    int64_t pos_ = 0;
};

// Opening modes: read an existing file, or create (truncate) one for writing.
enum TFileMode { fmOpenRead, fmCreate, fmOpenReadWrite };

class TFileStream : public TStream {
public:
    // EFOpenError "Cannot open file "<path>"." (or "Cannot create file ...") on failure.
    TFileStream(const std::string& path, TFileMode mode);
    ~TFileStream() override;
    TFileStream(const TFileStream&) = delete;
    TFileStream& operator=(const TFileStream&) = delete;
    int64_t Read(void* buffer, int64_t count) override;
    int64_t Write(const void* buffer, int64_t count) override;
    int64_t Seek(int64_t offset, TSeekOrigin origin) override;
    int64_t Size() override;
    void SetSize(int64_t size) override;
    const std::string& FileName() const { return path_; }

private:
    std::string path_;
    std::FILE* file_ = nullptr;
};

}  // namespace rtl
