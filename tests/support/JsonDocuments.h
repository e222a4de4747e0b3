#pragma once

#include <optional>
#include <string>
#include <vector>

// Keeps a document a test's run of the tool wrote, as name.json in the folder that
// MSITOOL_TEST_JSON_DOCUMENTS names, for the schema check that runs after the tests
// (tests/json/json-documents.py). Does nothing when the variable is not set.
void KeepJsonDocument(const std::string& name, const std::string& document);

// Every string value of key in a document (UTF-8), in document order, its escapes decoded.
std::vector<std::wstring> JsonStrings(const std::string& document, const std::wstring& key);

// The value at path in a document (UTF-8): object keys and array indexes joined by dots, as in
// "members.1.views.view64.state". A string comes decoded; a number, true, false or null as its
// literal text. Absent when the path leads nowhere or the document is not well-formed JSON.
std::optional<std::wstring> JsonAt(const std::string& document, const std::string& path);

// The number at path; -1 when there is none there.
long long JsonNumber(const std::string& document, const std::string& path);
