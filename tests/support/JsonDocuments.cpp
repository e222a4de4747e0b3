#include "support/JsonDocuments.h"

#include <windows.h>

#include <cwchar>
#include <cwctype>
#include <regex>
#include <sstream>

#include "support/TemporaryFiles.h"

namespace {

std::wstring Widen(const std::string& utf8) {
  const int size = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
  std::wstring text(static_cast<std::size_t>(size), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), text.data(), size);
  return text;
}

// A JSON string's body with its escapes decoded, as any JSON reader decodes it.
std::wstring Decode(const std::wstring& body) {
  std::wstring text;
  for (std::size_t i = 0; i < body.size(); ++i) {
    if (body[i] != L'\\') {
      text += body[i];
      continue;
    }
    const wchar_t escape = body[++i];
    switch (escape) {
      case L'u':
        text += static_cast<wchar_t>(std::stoul(body.substr(i + 1, 4), nullptr, 16));
        i += 4;
        break;
      case L'n': text += L'\n'; break;
      case L'r': text += L'\r'; break;
      case L't': text += L'\t'; break;
      case L'b': text += L'\b'; break;
      case L'f': text += L'\f'; break;
      default: text += escape;  // " \ /
    }
  }
  return text;
}

}  // namespace

void KeepJsonDocument(const std::string& name, const std::string& document) {
  wchar_t folder[MAX_PATH] = {};
  if (GetEnvironmentVariableW(L"MSITOOL_TEST_JSON_DOCUMENTS", folder, MAX_PATH) == 0) return;
  std::wstring path = std::wstring(L"Z:") + folder + L"/" + std::wstring(name.begin(), name.end()) + L".json";
  for (wchar_t& character : path) {
    if (character == L'/') character = L'\\';
  }
  WriteFileBytes(path, document);
}

std::vector<std::wstring> JsonStrings(const std::string& document, const std::wstring& key) {
  const std::wstring text = Widen(document);
  const std::wregex pattern(L"\"" + key + L"\": \"((?:[^\"\\\\]|\\\\.)*)\"");
  std::vector<std::wstring> values;
  for (auto match = std::wsregex_iterator(text.begin(), text.end(), pattern); match != std::wsregex_iterator();
       ++match) {
    values.push_back(Decode((*match)[1].str()));
  }
  return values;
}

namespace {

// Reads one JSON value from text at position, keeping only what lies on the wanted path.
class PathReader {
 public:
  PathReader(const std::wstring& text, std::vector<std::wstring> path) : text_(text), path_(std::move(path)) {}

  std::optional<std::wstring> Read() {
    std::optional<std::wstring> found;
    if (!Value(0, found)) return std::nullopt;
    Space();
    return position_ == text_.size() ? found : std::nullopt;
  }

 private:
  void Space() {
    while (position_ < text_.size() && std::wcschr(L" \t\r\n", text_[position_]) != nullptr) ++position_;
  }
  bool Take(wchar_t character) {
    Space();
    if (position_ >= text_.size() || text_[position_] != character) return false;
    ++position_;
    return true;
  }
  bool String(std::wstring& value) {
    if (!Take(L'"')) return false;
    const std::size_t start = position_;
    while (position_ < text_.size() && text_[position_] != L'"') position_ += text_[position_] == L'\\' ? 2 : 1;
    if (position_ >= text_.size()) return false;
    value = Decode(text_.substr(start, position_++ - start));
    return true;
  }
  // depth: how many steps of the path lead here; found is set when the value lies at its end.
  bool Value(std::size_t depth, std::optional<std::wstring>& found) {
    const bool wanted = depth == path_.size();
    Space();
    if (position_ >= text_.size()) return false;
    const wchar_t first = text_[position_];
    if (first == L'{' || first == L'[') {
      ++position_;
      const wchar_t close = first == L'{' ? L'}' : L']';
      if (Take(close)) return true;
      for (std::size_t index = 0;; ++index) {
        std::wstring key = std::to_wstring(index);
        if (first == L'{' && !(String(key) && Take(L':'))) return false;
        const bool onPath = depth < path_.size() && path_[depth] == key;
        std::optional<std::wstring> ignored;
        if (!Value(onPath ? depth + 1 : path_.size() + 1, onPath ? found : ignored)) return false;
        if (Take(close)) return true;
        if (!Take(L',')) return false;
      }
    }
    std::wstring value;
    if (first == L'"') {
      if (!String(value)) return false;
    } else {
      const std::size_t start = position_;
      while (position_ < text_.size() && std::wcschr(L",}] \t\r\n", text_[position_]) == nullptr) ++position_;
      value = text_.substr(start, position_ - start);
      if (value.empty()) return false;
    }
    if (wanted) found = value;
    return true;
  }

  const std::wstring& text_;
  const std::vector<std::wstring> path_;
  std::size_t position_ = 0;
};

}  // namespace

std::optional<std::wstring> JsonAt(const std::string& document, const std::string& path) {
  std::vector<std::wstring> steps;
  std::wistringstream parts(Widen(path));
  for (std::wstring step; std::getline(parts, step, L'.');) steps.push_back(step);
  const std::wstring text = Widen(document);
  return PathReader(text, steps).Read();
}

long long JsonNumber(const std::string& document, const std::string& path) {
  const std::optional<std::wstring> value = JsonAt(document, path);
  return value && !value->empty() && std::iswdigit(value->back()) ? std::stoll(*value) : -1;
}
