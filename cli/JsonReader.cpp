#include "cli/JsonReader.h"

#include <charconv>

namespace {

// Nesting deeper than any file velkorctl writes is refused, so that hostile input cannot exhaust
// the stack.
constexpr int MAX_DEPTH = 16;

class Reader {
public:
    Reader(std::string_view text, size_t& at, std::string& error)
        : text_(text), at_(at), error_(error) {}

    std::optional<JsonValue> Value(int depth);

private:
    std::optional<JsonValue> Fail(const std::string& what) {
        error_ = what + " at offset " + std::to_string(at_);
        return std::nullopt;
    }
    bool Take(char c) {
        SkipJsonBlanks(text_, at_);
        if (at_ < text_.size() && text_[at_] == c) {
            ++at_;
            return true;
        }
        return false;
    }
    bool Word(std::string_view word) {
        if (text_.substr(at_, word.size()) != word) return false;
        at_ += word.size();
        return true;
    }
    std::optional<JsonValue> Object(int depth);
    std::optional<JsonValue> Array(int depth);
    std::optional<JsonValue> Number();
    std::optional<std::string> String();
    bool Escape(std::string& out);
    std::optional<uint32_t> Hex4();

    std::string_view text_;
    size_t& at_;
    std::string& error_;
};

void AppendUtf8(std::string& out, uint32_t code) {
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | (code >> 6));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += static_cast<char>(0xE0 | (code >> 12));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (code >> 18));
        out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

std::optional<JsonValue> Reader::Value(int depth) {
    if (depth > MAX_DEPTH) return Fail("nesting too deep");
    SkipJsonBlanks(text_, at_);
    if (at_ >= text_.size()) return Fail("unexpected end");
    JsonValue value;
    const char c = text_[at_];
    if (c == '{') return Object(depth);
    if (c == '[') return Array(depth);
    if (c == '"') {
        auto text = String();
        if (!text) return std::nullopt;
        value.type = JsonValue::Type::String;
        value.text = std::move(*text);
        return value;
    }
    if (c == '-' || (c >= '0' && c <= '9')) return Number();
    if (Word("true") || Word("false")) {
        value.type = JsonValue::Type::Boolean;
        value.boolean = c == 't';
        return value;
    }
    if (Word("null")) return value;
    return Fail("unexpected character");
}

std::optional<JsonValue> Reader::Object(int depth) {
    ++at_;
    JsonValue value;
    value.type = JsonValue::Type::Object;
    if (Take('}')) return value;
    do {
        SkipJsonBlanks(text_, at_);
        if (at_ >= text_.size() || text_[at_] != '"') return Fail("expected a member name");
        auto name = String();
        if (!name) return std::nullopt;
        if (!Take(':')) return Fail("expected ':'");
        auto member = Value(depth + 1);
        if (!member) return std::nullopt;
        value.names.push_back(std::move(*name));
        value.values.push_back(std::move(*member));
    } while (Take(','));
    if (!Take('}')) return Fail("expected ',' or '}'");
    return value;
}

std::optional<JsonValue> Reader::Array(int depth) {
    ++at_;
    JsonValue value;
    value.type = JsonValue::Type::Array;
    if (Take(']')) return value;
    do {
        auto item = Value(depth + 1);
        if (!item) return std::nullopt;
        value.items.push_back(std::move(*item));
    } while (Take(','));
    if (!Take(']')) return Fail("expected ',' or ']'");
    return value;
}

std::optional<JsonValue> Reader::Number() {
    const size_t start = at_;
    auto digits = [this] {
        const size_t first = at_;
        while (at_ < text_.size() && text_[at_] >= '0' && text_[at_] <= '9')
            ++at_;
        return at_ > first;
    };
    if (text_[at_] == '-') ++at_;
    const size_t integerStart = at_;
    if (!digits()) return Fail("malformed number");
    if (text_[integerStart] == '0' && at_ - integerStart > 1) return Fail("malformed number");
    bool integral = true;
    if (at_ < text_.size() && text_[at_] == '.') {
        ++at_;
        integral = false;
        if (!digits()) return Fail("malformed number");
    }
    if (at_ < text_.size() && (text_[at_] == 'e' || text_[at_] == 'E')) {
        ++at_;
        integral = false;
        if (at_ < text_.size() && (text_[at_] == '+' || text_[at_] == '-')) ++at_;
        if (!digits()) return Fail("malformed number");
    }
    JsonValue value;
    value.type = JsonValue::Type::Number;
    int64_t number = 0;
    const auto [rest, error] = std::from_chars(text_.data() + start, text_.data() + at_, number);
    if (integral && error == std::errc() && rest == text_.data() + at_) value.integer = number;
    return value;
}

std::optional<uint32_t> Reader::Hex4() {
    uint32_t code = 0;
    if (at_ + 4 > text_.size()) return std::nullopt;
    const auto [rest, error] =
        std::from_chars(text_.data() + at_, text_.data() + at_ + 4, code, 16);
    if (error != std::errc() || rest != text_.data() + at_ + 4) return std::nullopt;
    at_ += 4;
    return code;
}

bool Reader::Escape(std::string& out) {
    if (at_ >= text_.size()) return false;
    const char c = text_[at_++];
    static constexpr std::string_view SIMPLE = "\"\\/bfnrt";
    static constexpr std::string_view MEANS = "\"\\/\b\f\n\r\t";
    if (const size_t i = SIMPLE.find(c); i != std::string_view::npos) {
        out += MEANS[i];
        return true;
    }
    if (c != 'u') return false;
    auto code = Hex4();
    if (!code) return false;
    if (*code >= 0xD800 && *code < 0xDC00) {
        // A high surrogate must be followed by its low half.
        if (!Word("\\u")) return false;
        const auto low = Hex4();
        if (!low || *low < 0xDC00 || *low > 0xDFFF) return false;
        *code = 0x10000 + ((*code - 0xD800) << 10) + (*low - 0xDC00);
    } else if (*code >= 0xDC00 && *code <= 0xDFFF) {
        return false;
    }
    AppendUtf8(out, *code);
    return true;
}

std::optional<std::string> Reader::String() {
    ++at_;
    std::string out;
    while (at_ < text_.size()) {
        const unsigned char c = static_cast<unsigned char>(text_[at_++]);
        if (c == '"') return out;
        if (c < 0x20) break;
        if (c != '\\') {
            out += static_cast<char>(c);
        } else if (!Escape(out)) {
            Fail("malformed escape");
            return std::nullopt;
        }
    }
    Fail("unterminated string");
    return std::nullopt;
}

}  // namespace

const JsonValue* JsonValue::Find(std::string_view key) const {
    const JsonValue* found = nullptr;
    for (size_t i = 0; i < names.size(); ++i)
        if (names[i] == key) found = &values[i];
    return found;
}

void SkipJsonBlanks(std::string_view text, size_t& at) {
    while (at < text.size() &&
           (text[at] == ' ' || text[at] == '\t' || text[at] == '\n' || text[at] == '\r'))
        ++at;
}

std::optional<JsonValue> ReadJsonValue(std::string_view text, size_t& at, std::string& error) {
    Reader reader(text, at, error);
    return reader.Value(0);
}
