#pragma once

#include <string>
#include <string_view>
#include <vector>

// Builds one JSON text, two spaces of indent per level. The caller pairs Begin and End and gives
// each member of an object its Key first; the writer puts in the commas and line ends.
class JsonWriter {
 public:
  void BeginObject();
  void EndObject();
  void BeginArray();
  void EndArray();
  void Key(std::wstring_view name);

  // text as a JSON string: every character that needs it escaped, unpaired surrogates as \uXXXX,
  // so that any text gives valid JSON.
  void String(std::wstring_view text);
  void Number(long long number);
  void Bool(bool value);
  void Null();

  // The text so far; whole once every Begin has its End.
  const std::wstring& text() const noexcept { return text_; }

 private:
  void BeforeValue();
  void Open(wchar_t bracket);
  void Close(wchar_t bracket);
  void NewLine();

  std::wstring text_;
  std::vector<bool> levelEmpty_;  // per open bracket: nothing in it yet
  bool afterKey_ = false;
};
