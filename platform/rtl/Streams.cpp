#include "platform/rtl/Streams.h"

#include <algorithm>
#include <cstring>

#include <QFile>
#include <QSaveFile>
#include <unistd.h>

namespace rtl {

void TStream::ReadBuffer(void* buffer, int64_t count)
{
    if (count > 0 && Read(buffer, count) != count)
        throw EReadError("Stream read error");
}

void TStream::WriteBuffer(const void* buffer, int64_t count)
{
    if (count > 0 && Write(buffer, count) != count)
        throw EWriteError("Stream write error");
}

int64_t TStream::CopyFrom(TStream& source, int64_t count)
{
    if (count == 0) {
        source.SetPosition(0);
        count = source.Size();
    }
    std::vector<uint8_t> chunk(size_t(std::min<int64_t>(count, 1 << 16)));
    int64_t left = count;
    while (left > 0) {
        const int64_t n = std::min<int64_t>(left, int64_t(chunk.size()));
        source.ReadBuffer(chunk.data(), n);
        WriteBuffer(chunk.data(), n);
        left -= n;
    }
    return count;
}

int64_t TMemoryStream::Read(void* buffer, int64_t count)
{
    if (count <= 0 || pos_ >= Size())
        return 0;
    const int64_t n = std::min(count, Size() - pos_);
    std::memcpy(buffer, data_.data() + pos_, size_t(n));
    pos_ += n;
    return n;
}

int64_t TMemoryStream::Write(const void* buffer, int64_t count)
{
    if (count <= 0)
        return 0;
    if (pos_ + count > Size())
        data_.resize(size_t(pos_ + count));
    std::memcpy(data_.data() + pos_, buffer, size_t(count));
    pos_ += count;
    return count;
}

int64_t TMemoryStream::Seek(int64_t offset, TSeekOrigin origin)
{
    const int64_t base = origin == soBeginning ? 0 : origin == soCurrent ? pos_ : Size();
    pos_ = std::max<int64_t>(0, base + offset);
    return pos_;
}

void TMemoryStream::SetSize(int64_t size)
{
    data_.resize(size_t(std::max<int64_t>(0, size)));
    pos_ = std::min(pos_, Size());
}

void TMemoryStream::Clear()
{
    data_.clear();
    pos_ = 0;
}

void TMemoryStream::LoadFromFile(const std::string& path)
{
    // Through QFile so that built-in resources (":/...") load like files.
    QFile f(QString::fromStdString(path));
    if (!f.open(QIODevice::ReadOnly))
        throw EFOpenError("Cannot open file \"" + path + "\".");
    // Read once, straight into the stream's own buffer; a file that is not the size it said
    // (one still being written) gives what it holds.
    data_.resize(size_t(std::max<qint64>(f.size(), 0)));
    size_t got = 0;
    while (got < data_.size()) {
        const qint64 n = f.read(reinterpret_cast<char*>(data_.data() + got), qint64(data_.size() - got));
        if (n <= 0)
            break;
        got += size_t(n);
    }
    data_.resize(got);
    if (!f.atEnd()) {
        const QByteArray rest = f.readAll();
        data_.insert(data_.end(), rest.begin(), rest.end());
    }
    pos_ = 0;
}

void TMemoryStream::LoadFromStream(TStream& source)
{
    source.SetPosition(0);
    data_.resize(size_t(source.Size()));
    source.ReadBuffer(data_.data(), int64_t(data_.size()));
    pos_ = 0;
}

void TMemoryStream::SaveToFile(const std::string& path)
{
    QSaveFile f(QString::fromStdString(path));
    if (!f.open(QIODevice::WriteOnly))
        throw EFOpenError("Cannot create file \"" + path + "\".");
    if (f.write(reinterpret_cast<const char*>(data_.data()), qint64(data_.size())) != qint64(data_.size()) ||
        !f.commit())
        throw EWriteError("Stream write error");
}

TFileStream::TFileStream(const std::string& path, TFileMode mode) : path_(path)
{
    const char* how = mode == fmOpenRead ? "rb" : mode == fmCreate ? "w+b" : "r+b";
    file_ = std::fopen(path.c_str(), how);
    if (!file_)
        throw EFOpenError(std::string(mode == fmCreate ? "Cannot create file \"" : "Cannot open file \"") +
                          path + "\".");
}

TFileStream::~TFileStream()
{
    if (file_)
        std::fclose(file_);
}

int64_t TFileStream::Read(void* buffer, int64_t count)
{
    return count <= 0 ? 0 : int64_t(std::fread(buffer, 1, size_t(count), file_));
}

int64_t TFileStream::Write(const void* buffer, int64_t count)
{
    return count <= 0 ? 0 : int64_t(std::fwrite(buffer, 1, size_t(count), file_));
}

int64_t TFileStream::Seek(int64_t offset, TSeekOrigin origin)
{
    const int whence = origin == soBeginning ? SEEK_SET : origin == soCurrent ? SEEK_CUR : SEEK_END;
    if (fseeko(file_, off_t(offset), whence) != 0 && origin != soCurrent)
        fseeko(file_, 0, SEEK_SET);
    return int64_t(ftello(file_));
}

int64_t TFileStream::Size()
{
    const off_t here = ftello(file_);
    fseeko(file_, 0, SEEK_END);
    const off_t size = ftello(file_);
    fseeko(file_, here, SEEK_SET);
    return int64_t(size);
}

void TFileStream::SetSize(int64_t size)
{
    std::fflush(file_);
    if (ftruncate(fileno(file_), off_t(size)) != 0)
        throw EWriteError("Stream write error");
}

}  // namespace rtl
