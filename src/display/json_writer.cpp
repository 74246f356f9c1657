#include "display/json_writer.h"

#include <charconv>
#include <cmath>
#include <cstdio>

std::string JsonWriter::Quote(const std::string& s) {
    std::string q = "\"";
    for (unsigned char c : s) {
        switch (c) {
            case '"': q += "\\\""; break;
            case '\\': q += "\\\\"; break;
            case '\n': q += "\\n"; break;
            case '\r': q += "\\r"; break;
            case '\t': q += "\\t"; break;
            default:
                if (c < 0x20) {
                    char u[8];
                    std::snprintf(u, sizeof u, "\\u%04x", c);
                    q += u;
                } else {
                    q += static_cast<char>(c);
                }
        }
    }
    return q + "\"";
}

void JsonWriter::Separator() {
    if (first_.empty()) return;
    if (!first_.back()) out_ << ",";
    first_.back() = false;
}

void JsonWriter::Key(const std::string& key) {
    Separator();
    out_ << Quote(key) << ":";
}

void JsonWriter::Open(char c) {
    out_ << c;
    first_.push_back(true);
}

void JsonWriter::Close(char c) {
    out_ << c;
    first_.pop_back();
}

void JsonWriter::Field(const std::string& key, double value) {
    Key(key);
    Number(value);
}

void JsonWriter::Value(double value) {
    Separator();
    Number(value);
}

void JsonWriter::Number(double value) {
    if (!std::isfinite(value)) {
        out_ << "null";
        return;
    }
    char buf[64];
    // Shortest text that reads back as the same double.
    const auto r = std::to_chars(buf, buf + sizeof buf, value);
    out_.write(buf, r.ptr - buf);
}

void JsonWriter::Field(const std::string& key, const std::string& value) {
    Key(key);
    out_ << Quote(value);
}

void JsonWriter::Field(const std::string& key, bool value) {
    Key(key);
    out_ << (value ? "true" : "false");
}

void JsonWriter::Null(const std::string& key) {
    Key(key);
    out_ << "null";
}
