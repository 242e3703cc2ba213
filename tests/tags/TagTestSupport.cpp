#include "TagTestSupport.h"

#include "support/TestSupport.h"
#include "util/Cp932.h"

#include <taglib/commentsframe.h>
#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>
#include <taglib/textidentificationframe.h>
#include <taglib/unsynchronizedlyricsframe.h>
#include <taglib/urllinkframe.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <stdexcept>

namespace tagtest {

const std::string& mp3Audio()
{
    static const std::string audio = [] {
        testsupport::TempDir dir;
        auto sox = testsupport::runCommand(
            "sox", {"-n", "-r", "44100", "-c", "2", dir.file("a.wav"), "synth", "0.4", "sine", "440"});
        auto lame = testsupport::runCommand(
            "lame", {"--quiet", "-b", "128", dir.file("a.wav"), dir.file("a.mp3")});
        if (sox.exitCode != 0 || lame.exitCode != 0)
            throw std::runtime_error("cannot make the MP3 fixture: " + sox.err + lame.err);
        return testsupport::readFile(dir.file("a.mp3"));
    }();
    return audio;
}

bool decodesCleanly(const std::string& path)
{
    auto r = testsupport::runCommand("ffmpeg", {"-v", "error", "-i", path, "-f", "null", "-"});
    return r.exitCode == 0 && r.err.empty();
}

std::string makeFile(const std::string& path, const std::string& bytes)
{
    testsupport::writeFile(path, bytes);
    return path;
}

}  // namespace tagtest

namespace tagtest {

std::string syncSafe(unsigned value)
{
    std::string s;
    for (int shift = 21; shift >= 0; shift -= 7)
        s += static_cast<char>((value >> shift) & 0x7F);
    return s;
}

std::string bigEndian(unsigned value)
{
    std::string s;
    for (int shift = 24; shift >= 0; shift -= 8)
        s += static_cast<char>((value >> shift) & 0xFF);
    return s;
}

std::string id3Header(int version, int revision, int flags, unsigned bodySize)
{
    return std::string("ID3") + static_cast<char>(version) + static_cast<char>(revision) +
           static_cast<char>(flags) + syncSafe(bodySize);
}

std::string frame(int version, const std::string& id, const std::string& data, int statusFlags, int formatFlags)
{
    auto size = static_cast<unsigned>(data.size());
    return id + (version == 3 ? bigEndian(size) : syncSafe(size)) + static_cast<char>(statusFlags) +
           static_cast<char>(formatFlags) + data;
}

}  // namespace tagtest

namespace tagtest {

using TagLib::String;

std::string text(const String& s, String::Type encoding)
{
    return encoding == String::Latin1 ? cp932::toUtf8(s.to8Bit(false)) : s.to8Bit(true);
}

void setText(TagLib::ID3v2::Tag& tag, const std::string& id, const String& value, String::Type encoding)
{
    const TagLib::ByteVector frameId(id.c_str());
    tag.removeFrames(frameId);
    if (id == "COMM") {
        auto* comment = new TagLib::ID3v2::CommentsFrame(encoding);
        comment->setText(value);
        tag.addFrame(comment);
        return;
    }
    auto* frame = new TagLib::ID3v2::TextIdentificationFrame(frameId, encoding);
    frame->setText(value);
    tag.addFrame(frame);
}

TagLibView readWithTagLib(const std::string& path)
{
    TagLibView v;
    TagLib::MPEG::File f(path.c_str());
    auto* tag = f.ID3v2Tag(false);
    if (!tag)
        return v;
    v.year = tag->year();
    for (auto* frame : tag->frameList()) {
        std::string id(frame->frameID().data(), frame->frameID().size());
        if (auto* t = dynamic_cast<TagLib::ID3v2::UserTextIdentificationFrame*>(frame)) {
            // The value is the last non-empty field: TagLib drops an empty description and then
            // takes the value for the description.
            for (const auto& field : t->fieldList())
                if (!field.isEmpty())
                    v.texts[id] = text(field, t->textEncoding());
            v.encodings[id] = t->textEncoding();
        } else if (auto* t = dynamic_cast<TagLib::ID3v2::TextIdentificationFrame*>(frame)) {
            v.texts[id] = text(t->toString(), t->textEncoding());
            v.encodings[id] = t->textEncoding();
        } else if (auto* c = dynamic_cast<TagLib::ID3v2::CommentsFrame*>(frame)) {
            v.texts[id] = text(c->text(), c->textEncoding());
            v.encodings[id] = c->textEncoding();
        } else if (auto* l = dynamic_cast<TagLib::ID3v2::UnsynchronizedLyricsFrame*>(frame)) {
            v.texts[id] = text(l->text(), l->textEncoding());
            v.encodings[id] = l->textEncoding();
        } else if (auto* u = dynamic_cast<TagLib::ID3v2::UserUrlLinkFrame*>(frame)) {
            v.texts[id] = cp932::toUtf8(u->url().to8Bit(false));
        }
    }
    return v;
}

}  // namespace tagtest

namespace tagtest {

void writeWithMutagen(const std::string& path, int version, const std::vector<MutagenFrame>& frames)
{
    static const char* program = R"(
import sys, json
from mutagen import id3
t = id3.ID3()
for f in json.loads(sys.argv[3]):
    text = f['text'].encode('cp932').decode('latin-1') if f['encoding'] == 0 else f['text']
    kind = getattr(id3, f['id'])
    if f['id'] in ('COMM', 'USLT'):
        t.add(kind(encoding=f['encoding'], lang='jpn', desc='', text=text))
    else:
        t.add(kind(encoding=f['encoding'], text=text))
t.save(sys.argv[1], v2_version=int(sys.argv[2]), v1=0)
)";
    QJsonArray list;
    for (const MutagenFrame& f : frames)
        list.append(QJsonObject{{"id", QString::fromStdString(f.id)},
                                {"encoding", f.encoding},
                                {"text", QString::fromStdString(f.text)}});
    const std::string json = QJsonDocument(list).toJson(QJsonDocument::Compact).toStdString();
    auto r = testsupport::runCommand(testsupport::python3(), {"-c", program, path, std::to_string(version), json});
    if (r.exitCode != 0)
        throw std::runtime_error("mutagen could not write the tag: " + r.err);
}

std::map<std::string, MutagenFrame> mutagenFrames(const std::string& path)
{
    static const char* program = R"(
import sys, json
from mutagen.id3 import ID3
out = []
for f in ID3(sys.argv[1], translate=False, load_v1=False).values():
    e = int(getattr(f, 'encoding', -1))
    text = getattr(f, 'text', [])
    text = text if isinstance(text, str) else '/'.join(str(x) for x in text)
    if e == 0:
        text = text.encode('latin-1').decode('cp932', 'replace')
    out.append({'id': f.FrameID, 'encoding': e, 'text': text})
print(json.dumps(out))
)";
    auto r = testsupport::runCommand(testsupport::python3(), {"-c", program, path});
    if (r.exitCode != 0)
        throw std::runtime_error("mutagen could not read the tag: " + r.err);
    std::map<std::string, MutagenFrame> frames;
    for (const QJsonValue v : QJsonDocument::fromJson(QByteArray::fromStdString(r.out)).array()) {
        const QJsonObject o = v.toObject();
        const std::string id = o["id"].toString().toStdString();
        frames.emplace(id, MutagenFrame{id, o["encoding"].toInt(), o["text"].toString().toStdString()});
    }
    return frames;
}

}  // namespace tagtest
