#pragma once
// A small JSON writer for qrvn's results: one object, nested objects and arrays, numbers in
// the C locale with full precision, NaN and infinities as null.

#include <ostream>
#include <string>
#include <vector>

class JsonWriter {
public:
    explicit JsonWriter(std::ostream& out) : out_(out) {}
    void Begin() { Open('{'); }
    void End() {
        Close('}');
        out_ << "\n";
    }
    void BeginObject(const std::string& key) {
        Key(key);
        Open('{');
    }
    void BeginObject() {
        Separator();
        Open('{');
    }
    void EndObject() { Close('}'); }
    void BeginArray(const std::string& key) {
        Key(key);
        Open('[');
    }
    // An array without a key: the whole document, or an element of an array.
    void BeginArray() {
        Separator();
        Open('[');
    }
    void EndArray() { Close(']'); }
    void Field(const std::string& key, double value);
    void Field(const std::string& key, const std::string& value);
    void Field(const std::string& key, const char* value) { Field(key, std::string(value)); }
    void Field(const std::string& key, bool value);
    void Null(const std::string& key);
    // A number as an element of an array.
    void Value(double value);

    static std::string Quote(const std::string& s);

private:
    void Separator();
    void Number(double value);
    void Key(const std::string& key);
    void Open(char c);
    void Close(char c);

    std::ostream& out_;
    std::vector<bool> first_;  // per open level: nothing written yet
};
