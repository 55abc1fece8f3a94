#include "exchange/Csv.h"

namespace orv::exchange::csv {

namespace {

// Reads one record at a time; the text of the file stays with the caller.
class RecordReader {
public:
    explicit RecordReader(const QString &text) : m_text(text) {}

    std::vector<Record> readAll()
    {
        while (m_position < m_text.size())
            readCharacter();
        if (m_quoted)
            m_record.closed = false;
        if (!m_field.isEmpty() || !m_record.fields.isEmpty() || !m_record.text.isEmpty())
            endRecord();
        return std::move(m_records);
    }

private:
    void readCharacter()
    {
        const QChar c = m_text[m_position++];
        if (m_quoted)
            readQuoted(c);
        else
            readPlain(c);
    }

    void readQuoted(QChar c)
    {
        m_record.text += c;
        if (c == u'"' && m_position < m_text.size() && m_text[m_position] == u'"') {
            m_field += c;
            m_record.text += c;
            ++m_position;
        } else if (c == u'"') {
            m_quoted = false;
        } else {
            countLineBreak(c);
            m_field += c;
        }
    }

    void readPlain(QChar c)
    {
        if (c == u'"' && m_field.isEmpty() && !m_wasQuoted) {
            m_quoted = m_wasQuoted = true;
            m_record.text += c;
        } else if (c == u',') {
            endField();
            m_record.text += c;
        } else if (c == u'\r' && m_position < m_text.size() && m_text[m_position] == u'\n') {
            return; // the LF that follows ends the record
        } else if (c == u'\n' || c == u'\r') {
            ++m_line;
            endRecord();
        } else {
            m_field += c;
            m_record.text += c;
        }
    }

    // A line break inside quotes: CR LF counts once.
    void countLineBreak(QChar c)
    {
        const bool crBeforeLf =
            c == u'\r' && m_position < m_text.size() && m_text[m_position] == u'\n';
        if ((c == u'\n' || c == u'\r') && !crBeforeLf)
            ++m_line;
    }

    void endField()
    {
        m_record.fields.append(m_field);
        m_field.clear();
        m_wasQuoted = false;
    }

    void endRecord()
    {
        endField();
        const bool emptyLine =
            m_record.fields.size() == 1 && m_record.fields[0].isEmpty() && m_record.text.isEmpty();
        if (!emptyLine)
            m_records.push_back(std::move(m_record));
        m_record = Record();
        m_record.line = m_line;
    }

    const QString &m_text;
    qsizetype m_position = 0;
    int m_line = 1;
    bool m_quoted = false;
    bool m_wasQuoted = false;
    QString m_field;
    Record m_record{{}, 1, {}, true};
    std::vector<Record> m_records;
};

bool looksLikeFormula(const QString &value)
{
    return value.startsWith(u'=') || value.startsWith(u'+') || value.startsWith(u'-') ||
           value.startsWith(u'@');
}

// A formula, or a formula behind any number of guards.
bool needsGuard(const QString &value)
{
    qsizetype start = 0;
    while (start < value.size() && value[start] == u'\'')
        ++start;
    return looksLikeFormula(value.mid(start));
}

} // namespace

std::vector<Record> records(const QString &text)
{
    return RecordReader(text).readAll();
}

QString field(const QString &value)
{
    if (!value.contains(u',') && !value.contains(u'"') && !value.contains(u'\r') &&
        !value.contains(u'\n'))
        return value;
    return u'"' + QString(value).replace(u'"', QStringLiteral("\"\"")) + u'"';
}

QString guarded(const QString &value)
{
    return needsGuard(value) ? u'\'' + value : value;
}

QString unguarded(const QString &value)
{
    if (value.startsWith(u'\'') && needsGuard(value.mid(1)))
        return value.mid(1);
    return value;
}

} // namespace orv::exchange::csv
