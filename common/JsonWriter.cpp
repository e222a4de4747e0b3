#include "common/JsonWriter.h"

#include "common/UnicodeText.h"

void JsonWriter::NewLine() {
  text_ += L'\n';
  text_.append(2 * levelEmpty_.size(), L' ');
}

void JsonWriter::BeforeValue() {
  if (afterKey_) {
    afterKey_ = false;
    return;
  }
  if (!levelEmpty_.empty()) {
    if (!levelEmpty_.back()) {
      text_ += L',';
    }
    levelEmpty_.back() = false;
    NewLine();
  }
}

void JsonWriter::Open(wchar_t bracket) {
  BeforeValue();
  text_ += bracket;
  levelEmpty_.push_back(true);
}

void JsonWriter::Close(wchar_t bracket) {
  const bool empty = levelEmpty_.back();
  levelEmpty_.pop_back();
  if (!empty) {
    NewLine();
  }
  text_ += bracket;
}

void JsonWriter::BeginObject() { Open(L'{'); }
void JsonWriter::EndObject() { Close(L'}'); }
void JsonWriter::BeginArray() { Open(L'['); }
void JsonWriter::EndArray() { Close(L']'); }

void JsonWriter::Key(std::wstring_view name) {
  String(name);
  text_ += L": ";
  afterKey_ = true;
}

void JsonWriter::String(std::wstring_view text) {
  BeforeValue();
  text_ += L'"';
  for (std::size_t i = 0; i < text.size(); ++i) {
    const wchar_t character = text[i];
    if (IsHighSurrogate(character) && i + 1 < text.size() && IsLowSurrogate(text[i + 1])) {
      text_ += character;
      text_ += text[++i];
    } else if (character == L'"' || character == L'\\') {
      text_ += L'\\';
      text_ += character;
    } else if (IsControlOrSeparator(character) || IsHighSurrogate(character) ||
               IsLowSurrogate(character)) {
      // Valid JSON needs only C0 escaped; DEL, C1 and the separators are too, so that a document
      // read as JavaScript or shown on a console says exactly what it holds.
      AppendUnicodeEscape(text_, character);
    } else {
      text_ += character;
    }
  }
  text_ += L'"';
}

void JsonWriter::Number(long long number) {
  BeforeValue();
  text_ += std::to_wstring(number);
}

void JsonWriter::Bool(bool value) {
  BeforeValue();
  text_ += value ? L"true" : L"false";
}

void JsonWriter::Null() {
  BeforeValue();
  text_ += L"null";
}
