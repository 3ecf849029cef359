// The settings record's eight sub-records, read and written field by field in stored order. Each
// sub-record has one Read and one Write function kept side by side so the two orders cannot drift.
#include "shell/settings_record.h"

#include "shell/record_codec.h"

namespace velmo::shell {

namespace {

void Read(RecordReader& r, AboutText& a) {
    for (Text* t : {&a.productName, &a.description, &a.company, &a.legalNotice, &a.trademarks, &a.comment, &a.version})
        *t = r.ReadText();
}
void Write(RecordWriter& w, const AboutText& a) {
    for (const Text* t :
         {&a.productName, &a.description, &a.company, &a.legalNotice, &a.trademarks, &a.comment, &a.version})
        w.WriteText(*t);
}

void Read(RecordReader& r, Appearance& a) {
    a.windowShape = r.U32();
    a.borderStyle = r.U32();
    a.borderIcons = r.U32();
    a.scaleMode = r.U32();
    a.clipShapeImage = r.Path();
    a.caption = r.Path();
}
void Write(RecordWriter& w, const Appearance& a) {
    for (uint32_t v : {a.windowShape, a.borderStyle, a.borderIcons, a.scaleMode}) w.U32(v);
    w.Path(a.clipShapeImage);
    w.Path(a.caption);
}

void Read(RecordReader& r, SizeAndPosition& s) {
    s.sizeMode = r.U32();
    s.width = r.U16();
    s.height = r.U16();
    s.position = r.U32();
    s.x = r.U16();
    s.y = r.U16();
    s.keepRatio = r.U32();
}
void Write(RecordWriter& w, const SizeAndPosition& s) {
    w.U32(s.sizeMode);
    w.U16(s.width);
    w.U16(s.height);
    w.U32(s.position);
    w.U16(s.x);
    w.U16(s.y);
    w.U32(s.keepRatio);
}

void Read(RecordReader& r, Interaction& i) {
    for (uint32_t* v : {&i.leftButton, &i.rightButton, &i.keyPress, &i.exitKeys, &i.inputDisabling}) *v = r.U32();
    i.hotKeyCode = r.U16();
    i.hotKeyModifiers = r.U16();
}
void Write(RecordWriter& w, const Interaction& i) {
    for (uint32_t v : {i.leftButton, i.rightButton, i.keyPress, i.exitKeys, i.inputDisabling}) w.U32(v);
    w.U16(i.hotKeyCode);
    w.U16(i.hotKeyModifiers);
}

void Read(RecordReader& r, Behaviour& b) {
    b.menuAdditions = r.U32();
    b.flags = r.U32();
}
void Write(RecordWriter& w, const Behaviour& b) {
    w.U32(b.menuAdditions);
    w.U32(b.flags);
}

void Read(RecordReader& r, Miscellaneous& m) {
    m.flags = r.U32();
    m.backgroundColour = r.U32();
    m.helpFile = r.Path();
    m.reserved = r.U32();
}
void Write(RecordWriter& w, const Miscellaneous& m) {
    w.U32(m.flags);
    w.U32(m.backgroundColour);
    w.Path(m.helpFile);
    w.U32(0);  // reserved
}

void Read(RecordReader& r, AboutBox& a) {
    for (Text* t : {&a.author, &a.webAddress, &a.contactCaption, &a.emailAddress}) *t = r.ReadText();
    a.linkColour1 = r.U32();
    a.linkColour2 = r.U32();
    a.font1 = r.Font();
    a.font2 = r.Font();
    a.pictureFlags = r.U32();
    a.secondWord = r.U32();
    a.pictureFile = r.Path();
    a.reserved = r.U32();
    a.secondPath = r.Path();
}
void Write(RecordWriter& w, const AboutBox& a) {
    for (const Text* t : {&a.author, &a.webAddress, &a.contactCaption, &a.emailAddress}) w.WriteText(*t);
    w.U32(a.linkColour1);
    w.U32(a.linkColour2);
    w.Font(a.font1);
    w.Font(a.font2);
    w.U32(a.pictureFlags);
    w.U32(a.secondWord);
    w.Path(a.pictureFile);
    w.U32(0);  // reserved
    w.Path(a.secondPath);
}

void Read(RecordReader& r, BuildRecord& b) {
    b.word1 = r.U32();
    b.text = r.ReadText();
    b.word2 = r.U32();
    b.buildTime = r.Time();
    b.word3 = r.U32();
    b.path = r.Path();
    b.port = r.U16();
    b.word4 = r.U16();
}
void Write(RecordWriter& w, const BuildRecord& b) {
    w.U32(b.word1);
    w.WriteText(b.text);
    w.U32(b.word2);
    w.Time(b.buildTime);
    w.U32(b.word3);
    w.Path(b.path);
    w.U16(b.port);
    w.U16(b.word4);
}

}  // namespace

bool ReadSettingsRecord(std::span<const uint8_t> bytes, SettingsRecord& settings) {
    RecordReader r(bytes);
    SettingsRecord decoded;
    decoded.regionList = settings.regionList;  // not part of the stored bytes
    Read(r, decoded.about);
    Read(r, decoded.appearance);
    Read(r, decoded.sizeAndPosition);
    Read(r, decoded.interaction);
    Read(r, decoded.behaviour);
    Read(r, decoded.misc);
    Read(r, decoded.aboutBox);
    Read(r, decoded.build);
    if (!r.Ok()) {
        std::vector<std::string> regions = std::move(settings.regionList);
        settings = SettingsRecord{};
        settings.regionList = std::move(regions);
        return false;
    }
    settings = std::move(decoded);
    return true;
}

std::vector<uint8_t> WriteSettingsRecord(const SettingsRecord& settings) {
    RecordWriter w;
    Write(w, settings.about);
    Write(w, settings.appearance);
    Write(w, settings.sizeAndPosition);
    Write(w, settings.interaction);
    Write(w, settings.behaviour);
    Write(w, settings.misc);
    Write(w, settings.aboutBox);
    Write(w, settings.build);
    return w.Take();
}

}  // namespace velmo::shell
