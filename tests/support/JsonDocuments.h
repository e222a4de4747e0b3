#pragma once

#include <string>
#include <vector>

// Keeps a document a test's run of the tool wrote, as name.json in the folder that
// MSITOOL_TEST_JSON_DOCUMENTS names, for the schema check that runs after the tests
// (tests/json/json-documents.py). Does nothing when the variable is not set.
void KeepJsonDocument(const std::string& name, const std::string& document);

// Every string value of key in a document (UTF-8), in document order, its escapes decoded.
std::vector<std::wstring> JsonStrings(const std::string& document, const std::wstring& key);

// The first number value of key; -1 when there is none.
long long JsonNumber(const std::string& document, const std::wstring& key);
