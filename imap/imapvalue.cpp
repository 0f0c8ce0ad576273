#include "imap/imapvalue.h"

namespace {

// Walks the pieces of one response: the lines and, between them, the literals.
class Tokenizer {
public:
    explicit Tokenizer(const ImapResponse &r) : m_r(r) {}

    std::optional<QList<ImapValue>> parseAll()
    {
        QList<ImapValue> values;
        while (true) {
            skipBlanks();
            if (atEnd())
                return values;
            auto v = parseValue();
            if (!v)
                return std::nullopt;
            values.append(*v);
        }
    }

private:
    const QByteArray &line() const { return m_r.lines[m_line]; }
    bool atEnd() const { return m_pos >= line().size() && m_line + 1 >= m_r.lines.size(); }
    void skipBlanks()
    {
        while (m_pos < line().size() && line()[m_pos] == ' ')
            ++m_pos;
    }

    std::optional<ImapValue> parseValue()
    {
        if (m_pos >= line().size())
            return std::nullopt;
        const char c = line()[m_pos];
        if (c == '(')
            return parseList();
        if (c == '"')
            return parseQuoted();
        if (c == '{')
            return parseLiteral();
        if (c == ')')
            return std::nullopt;
        return parseAtom();
    }

    std::optional<ImapValue> parseList()
    {
        // No real answer nests this deep; stopping here keeps a hostile one from exhausting the stack.
        if (m_depth == MaxDepth)
            return std::nullopt;
        ++m_depth;
        ++m_pos;
        ImapValue list{ImapValue::Kind::List, {}, {}};
        while (true) {
            skipBlanks();
            if (m_pos >= line().size())
                return std::nullopt;
            if (line()[m_pos] == ')') {
                ++m_pos;
                --m_depth;
                return list;
            }
            auto v = parseValue();
            if (!v)
                return std::nullopt;
            list.items.append(*v);
        }
    }

    std::optional<ImapValue> parseQuoted()
    {
        ImapValue v{ImapValue::Kind::String, {}, {}};
        for (++m_pos; m_pos < line().size(); ++m_pos) {
            char c = line()[m_pos];
            if (c == '"') {
                ++m_pos;
                return v;
            }
            if (c == '\\') {
                if (++m_pos >= line().size())
                    return std::nullopt;
                c = line()[m_pos];
            }
            v.text.append(c);
        }
        return std::nullopt;
    }

    std::optional<ImapValue> parseLiteral()
    {
        // The announcement ends its line; the literal's bytes come next, then the next line.
        if (!line().endsWith('}') || line().lastIndexOf('{') != m_pos || m_line >= m_r.literals.size())
            return std::nullopt;
        ImapValue v{ImapValue::Kind::String, m_r.literals[m_line], {}};
        ++m_line;
        m_pos = 0;
        return v;
    }

    std::optional<ImapValue> parseAtom()
    {
        const qsizetype start = m_pos;
        int depth = 0; // a section such as BODY[HEADER.FIELDS (FROM)] belongs to its atom
        while (m_pos < line().size()) {
            const char c = line()[m_pos];
            if (c == '[')
                ++depth;
            else if (c == ']' && depth > 0)
                --depth;
            else if (depth == 0 && (c == ' ' || c == '(' || c == ')' || c == '"' || c == '{'))
                break;
            else if (uchar(c) < 0x20 || c == 0x7f)
                return std::nullopt;
            ++m_pos;
        }
        if (depth != 0 || m_pos == start)
            return std::nullopt;
        ImapValue v{ImapValue::Kind::Atom, line().mid(start, m_pos - start), {}};
        if (v.isAtom("NIL"))
            v = {ImapValue::Kind::Nil, {}, {}};
        return v;
    }

    static constexpr int MaxDepth = 256;

    const ImapResponse &m_r;
    int m_depth = 0;
    qsizetype m_line = 0;
    qsizetype m_pos = 0;
};

} // namespace

bool ImapValue::isAtom(const char *name) const
{
    return kind == Kind::Atom && text.compare(name, Qt::CaseInsensitive) == 0;
}

std::optional<QList<ImapValue>> ParseResponseValues(const ImapResponse &response)
{
    if (response.lines.isEmpty() || response.literals.size() != response.lines.size() - 1)
        return std::nullopt;
    return Tokenizer(response).parseAll();
}
