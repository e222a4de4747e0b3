#include "support/JsonDocuments.h"

#include <windows.h>

#include <regex>

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

long long JsonNumber(const std::string& document, const std::wstring& key) {
  const std::wstring text = Widen(document);
  std::wsmatch match;
  return std::regex_search(text, match, std::wregex(L"\"" + key + L"\": (-?\\d+)")) ? std::stoll(match[1].str())
                                                                                     : -1;
}
