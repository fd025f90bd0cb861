#include "app/SettingsFile.h"

#include "platform/SafeFile.h"

#include <QDataStream>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>
#include <QStringList>
#include <QTemporaryFile>

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace app {

QString settingsFilePath() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/Vexlin/VexlinCapture.conf");
}

std::unique_ptr<QSettings> openSettingsFile(const QString& path) {
    return std::make_unique<QSettings>(path, QSettings::IniFormat);
}

namespace settingsFile {

namespace {

bool isHexDigit(char16_t c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

// QSettings' escaping of one value: control characters and, inside the
// @ByteArray form, every byte from 0x7F as \x escapes (with a hex digit
// right after one escaped too, so it is not read as part of it), other text as
// UTF-8, and quotes around values that hold ';', ',' or '=' or begin or end
// with a blank.
void appendEscaped(QByteArray& out, const QString& text) {
    const bool asBytes = text.startsWith(QLatin1String("@ByteArray(")) ||
                         text.startsWith(QLatin1String("@Variant("));
    const qsizetype start = out.size();
    bool needsQuotes = false;
    bool escapeNextIfDigit = false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t ch = text[i].unicode();
        if (ch == ';' || ch == ',' || ch == '=') {
            needsQuotes = true;
        }
        if (escapeNextIfDigit && isHexDigit(ch)) {
            out += "\\x" + QByteArray::number(ch, 16);
            continue;
        }
        escapeNextIfDigit = false;
        switch (ch) {
        case '\0':
            out += "\\0";
            escapeNextIfDigit = true;
            break;
        case '\a':
            out += "\\a";
            break;
        case '\b':
            out += "\\b";
            break;
        case '\f':
            out += "\\f";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        case '\v':
            out += "\\v";
            break;
        case '"':
        case '\\':
            out += '\\';
            out += static_cast<char>(ch);
            break;
        default:
            if (ch <= 0x1F || (ch >= 0x7F && asBytes)) {
                out += "\\x" + QByteArray::number(ch, 16);
                escapeNextIfDigit = true;
            } else if (ch < 0x80) {
                out += static_cast<char>(ch);
            } else if (QChar::isHighSurrogate(ch) && i + 1 < text.size() &&
                       QChar::isLowSurrogate(text[i + 1].unicode())) {
                out += QStringView(text).mid(i, 2).toUtf8();
                ++i;
            } else {
                out += QStringView(text).mid(i, 1).toUtf8();
            }
        }
    }
    if (needsQuotes ||
        (start < out.size() && (out.at(start) == ' ' || out.at(out.size() - 1) == ' '))) {
        out.insert(start, '"');
        out += '"';
    }
}

QString textForm(const QString& text) {
    if (text.contains(QChar::Null)) {
        return QStringLiteral("@String(") + text + QLatin1Char(')');
    }
    return text.startsWith(QLatin1Char('@')) ? QLatin1Char('@') + text : text;
}

// One entry of the file as QSettings splits it: a section header or a
// key = value line, which may run over several lines (a value in quotes or
// after a backslash). Offsets into the file's bytes.
struct Entry {
    qsizetype lineStart = 0; // after leading blanks
    qsizetype lineEnd = 0;   // before the line break or a trailing comment
    qsizetype equals = -1;   // position of '='; -1 for headers and odd lines
    bool header = false;
    bool general = false; // a key of the General section, or that section's header
    QByteArray key;
};

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v';
}

// A key as QSettings reads it: "%XX" and "%UXXXX" escapes, '\\' for '/'.
QByteArray unescapedKey(const QByteArray& raw) {
    QString key;
    for (qsizetype i = 0; i < raw.size();) {
        const char ch = raw.at(i);
        if (ch == '\\') {
            key += QLatin1Char('/');
            ++i;
            continue;
        }
        if (ch == '%' && i + 1 < raw.size()) {
            const bool wide = raw.at(i + 1) == 'U';
            const qsizetype digits = wide ? 4 : 2;
            const qsizetype from = i + (wide ? 2 : 1);
            bool ok = from + digits <= raw.size();
            const uint code = ok ? raw.mid(from, digits).toUInt(&ok, 16) : 0;
            if (ok) {
                key += QChar(static_cast<char16_t>(code));
                i = from + digits;
                continue;
            }
        }
        key += QLatin1Char(ch);
        ++i;
    }
    return key.toUtf8();
}

// The entries in file order, split the way QSettings' INI reader splits them.
QList<Entry> entriesOf(const QByteArray& data) {
    QList<Entry> entries;
    const qsizetype size = data.size();
    qsizetype pos = 0;
    bool general = true;
    while (pos < size) {
        qsizetype lineStart = pos;
        while (lineStart < size && isBlank(data.at(lineStart))) {
            ++lineStart;
        }
        qsizetype i = lineStart;
        qsizetype equals = -1;
        bool inQuotes = false;
        while (i < size) {
            const char ch = data.at(i++);
            if (ch == '=') {
                if (!inQuotes && equals == -1) {
                    equals = i - 1;
                }
            } else if (ch == '\n' || ch == '\r') {
                if (i == lineStart + 1) {
                    ++lineStart;
                } else if (!inQuotes) {
                    --i;
                    break;
                }
            } else if (ch == '\\') {
                if (i < size) {
                    const char next = data.at(i++);
                    if (i < size) {
                        const char after = data.at(i);
                        if ((next == '\n' && after == '\r') || (next == '\r' && after == '\n')) {
                            ++i;
                        }
                    }
                }
            } else if (ch == '"') {
                inQuotes = !inQuotes;
            } else if (ch == ';') {
                if (i == lineStart + 1) {
                    // A comment line.
                    while (i < size && data.at(i) != '\n' && data.at(i) != '\r') {
                        ++i;
                    }
                    while (i < size && isBlank(data.at(i))) {
                        ++i;
                    }
                    lineStart = i;
                } else if (!inQuotes) {
                    --i;
                    break;
                }
            }
        }
        pos = i;
        if (i <= lineStart) {
            continue;
        }
        Entry entry;
        entry.lineStart = lineStart;
        entry.lineEnd = i;
        if (data.at(lineStart) == '[') {
            const qsizetype close = data.indexOf(']', lineStart);
            const QByteArray name = close == -1 || close >= i
                                        ? data.mid(lineStart + 1, i - lineStart - 1)
                                        : data.mid(lineStart + 1, close - lineStart - 1);
            general = name.compare("general", Qt::CaseInsensitive) == 0;
            entry.header = true;
            entry.general = general;
        } else if (equals != -1) {
            qsizetype keyEnd = equals;
            while (keyEnd > lineStart &&
                   (data.at(keyEnd - 1) == ' ' || data.at(keyEnd - 1) == '\t')) {
                --keyEnd;
            }
            entry.equals = equals;
            entry.general = general;
            entry.key = unescapedKey(data.mid(lineStart, keyEnd - lineStart));
        }
        entries.append(entry);
    }
    return entries;
}

// Where the line holding offset begins and where its line break ends.
qsizetype physicalLineStart(const QByteArray& data, qsizetype offset) {
    while (offset > 0 && data.at(offset - 1) != '\n' && data.at(offset - 1) != '\r') {
        --offset;
    }
    return offset;
}
qsizetype afterLineBreak(const QByteArray& data, qsizetype offset) {
    if (offset < data.size() && data.at(offset) == '\r') {
        ++offset;
        if (offset < data.size() && data.at(offset) == '\n') {
            ++offset;
        }
    } else if (offset < data.size() && data.at(offset) == '\n') {
        ++offset;
    }
    return offset;
}

bool onlyBlanks(const QByteArray& data, qsizetype from, qsizetype to) {
    for (qsizetype i = from; i < to; ++i) {
        if (data.at(i) != ' ' && data.at(i) != '\t') {
            return false;
        }
    }
    return true;
}

QByteArray removed(QByteArray data, const QList<Entry>& entries, const QByteArray& key) {
    // From the last entry to the first, so earlier offsets stay valid.
    for (auto it = entries.crbegin(); it != entries.crend(); ++it) {
        if (!it->general || it->header || it->key != key) {
            continue;
        }
        const qsizetype lineBegin = physicalLineStart(data, it->lineStart);
        qsizetype lineBreak = it->lineEnd;
        while (lineBreak < data.size() && data.at(lineBreak) != '\n' &&
               data.at(lineBreak) != '\r') {
            ++lineBreak;
        }
        // A line that held nothing else goes with its line break; one with a
        // comment after the entry keeps the comment.
        if (onlyBlanks(data, lineBegin, it->lineStart) &&
            onlyBlanks(data, it->lineEnd, lineBreak)) {
            data.remove(lineBegin, afterLineBreak(data, lineBreak) - lineBegin);
        } else {
            data.remove(it->lineStart, it->lineEnd - it->lineStart);
        }
    }
    return data;
}

QByteArray inserted(QByteArray data, const QList<Entry>& entries, const QByteArray& line,
                    const QByteArray& key) {
    const Entry* header = nullptr;
    const Entry* last = nullptr;
    for (const Entry& entry : entries) {
        if (!entry.general) {
            continue;
        }
        if (entry.header) {
            if (!header && !last) {
                header = &entry;
            }
            continue;
        }
        if (entry.equals == -1) {
            continue;
        }
        // Keys stay in sorted order, as QSettings writes them.
        if (entry.key > key) {
            const qsizetype at = physicalLineStart(data, entry.lineStart);
            data.insert(at, line + '\n');
            return data;
        }
        last = &entry;
    }
    const Entry* after = last ? last : header;
    if (!after) {
        // No General section yet: it comes first, as QSettings writes it.
        QByteArray section = "[General]\n" + line + '\n';
        if (!data.isEmpty()) {
            section += '\n';
        }
        return section + data;
    }
    qsizetype lineBreak = after->lineEnd;
    while (lineBreak < data.size() && data.at(lineBreak) != '\n' && data.at(lineBreak) != '\r') {
        ++lineBreak;
    }
    if (lineBreak == data.size()) {
        data += '\n';
    }
    data.insert(afterLineBreak(data, lineBreak), line + '\n');
    return data;
}

} // namespace

QByteArray encodedValue(const QVariant& value) {
    QByteArray out;
    switch (value.typeId()) {
    case QMetaType::Bool:
        out = value.toBool() ? "true" : "false";
        break;
    case QMetaType::Int:
    case QMetaType::LongLong:
    case QMetaType::UInt:
    case QMetaType::ULongLong:
        out = value.toString().toLatin1();
        break;
    case QMetaType::QByteArray:
        appendEscaped(out, QStringLiteral("@ByteArray(") +
                               QString::fromLatin1(value.toByteArray()) + QLatin1Char(')'));
        break;
    case QMetaType::QStringList: {
        const QStringList list = value.toStringList();
        if (list.isEmpty()) {
            // The form that reads back as no value, which the store reads as
            // an empty list.
            out = "@Invalid()";
        }
        for (qsizetype i = 0; i < list.size(); ++i) {
            if (i != 0) {
                out += ", ";
            }
            appendEscaped(out, textForm(list[i]));
        }
        break;
    }
    case QMetaType::QVariantMap: {
        // QSettings keeps any other value as its QDataStream form in the
        // version it reads it back with.
        QByteArray streamed;
        {
            QDataStream stream(&streamed, QIODevice::WriteOnly);
            stream.setVersion(QDataStream::Qt_4_0);
            stream << value;
        }
        appendEscaped(out, QStringLiteral("@Variant(") + QString::fromLatin1(streamed) +
                               QLatin1Char(')'));
        break;
    }
    default:
        appendEscaped(out, textForm(value.toString()));
        break;
    }
    return out;
}

std::optional<QByteArray> rawValue(const QByteArray& ini, const QString& key) {
    const QByteArray name = key.toUtf8();
    const QList<Entry> entries = entriesOf(ini);
    for (auto it = entries.crbegin(); it != entries.crend(); ++it) {
        if (it->general && !it->header && it->key == name) {
            return ini.mid(it->equals + 1, it->lineEnd - it->equals - 1).trimmed();
        }
    }
    return std::nullopt;
}

QByteArray withValue(const QByteArray& ini, const QString& key, const QVariant& value) {
    const QByteArray name = key.toUtf8();
    const QList<Entry> entries = entriesOf(ini);
    if (!value.isValid()) {
        return removed(ini, entries, name);
    }
    const QByteArray encoded = encodedValue(value);
    for (auto it = entries.crbegin(); it != entries.crend(); ++it) {
        if (it->general && !it->header && it->key == name) {
            // The entry keeps its key and spacing; only the value is new.
            QByteArray data = ini;
            qsizetype valueStart = it->equals + 1;
            while (valueStart < it->lineEnd &&
                   (data.at(valueStart) == ' ' || data.at(valueStart) == '\t')) {
                ++valueStart;
            }
            // Blanks before a comment after the value stay too.
            qsizetype valueEnd = it->lineEnd;
            while (valueEnd > valueStart &&
                   (data.at(valueEnd - 1) == ' ' || data.at(valueEnd - 1) == '\t')) {
                --valueEnd;
            }
            data.replace(valueStart, valueEnd - valueStart, encoded);
            return data;
        }
    }
    const QByteArray line = name + '=' + encoded;
    QByteArray added = inserted(ini, entries, line, name);
    // After an entry whose quote never closes, a new line would become part
    // of that entry. At the very top nothing comes before it, and the top of
    // a file is the General section.
    if (rawValue(added, key) != encoded) {
        added = line + '\n' + ini;
    }
    return added;
}

namespace {

// Whether QSettings, which reads the file, finds `value` under `key` in `ini`.
bool readsBack(const QByteArray& ini, const QString& key, const QVariant& value) {
    QTemporaryFile file;
    if (!file.open() || file.write(ini) != ini.size() || !file.flush()) {
        return true; // nothing to check with; the edit stands
    }
    const QSettings settings(file.fileName(), QSettings::IniFormat);
    return encodedValue(settings.value(key)) == encodedValue(value);
}

// withValue, unless the reader would not see the entry where withValue puts
// it (in a damaged file a quote that never closes can swallow what follows):
// then the key's entries go and the new one stands first in the file, which
// the reader always takes as the General section.
QByteArray readableWithValue(const QByteArray& ini, const QString& key, const QVariant& value) {
    const QByteArray edited = withValue(ini, key, value);
    if (!value.isValid() || readsBack(edited, key, value)) {
        return edited;
    }
    return key.toUtf8() + '=' + encodedValue(value) + '\n' + withValue(ini, key, QVariant());
}

} // namespace

std::error_code writeValue(const QString& path, const QString& key, const QVariant& value) {
    const QByteArray name = platform::pathBytes(path);
    QByteArray current;
    const int fd = ::open(name.constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0 && errno != ENOENT) {
        return {errno, std::generic_category()};
    }
    if (fd >= 0) {
        char buffer[65536];
        for (;;) {
            const ssize_t n = ::read(fd, buffer, sizeof buffer);
            if (n < 0 && errno == EINTR) {
                continue;
            }
            if (n < 0) {
                const std::error_code error(errno, std::generic_category());
                ::close(fd);
                return error;
            }
            if (n == 0) {
                break;
            }
            current.append(buffer, n);
        }
        ::close(fd);
    }
    if (const std::error_code error =
            platform::SafeFile::createFolder(QFileInfo(path).absolutePath())) {
        return error;
    }
    return platform::SafeFile().replace(path, readableWithValue(current, key, value));
}

} // namespace settingsFile

} // namespace app
