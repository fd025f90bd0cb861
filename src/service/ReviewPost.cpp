#include "service/ReviewPost.h"

#include <QCoreApplication>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTextBoundaryFinder>

// The context of this file's texts, declared where lupdate finds it.
struct ReviewPostText {
    Q_DECLARE_TR_FUNCTIONS(ReviewPostText)
};

namespace service::ReviewPost {

namespace {

constexpr char32_t zeroWidthJoiner = 0x200D;

// Whitespace in Unicode's sense (the White_Space property): the separators
// and tab, line feed, vertical tab, form feed, carriage return and U+0085.
bool isWhiteSpace(char32_t scalar) {
    return QChar::isSpace(scalar);
}

template <typename Keep> QString filtered(const QString& input, Keep keep) {
    QString out;
    out.reserve(input.size());
    for (const char32_t scalar : input.toUcs4()) {
        if (keep(scalar)) {
            out.append(QString::fromUcs4(&scalar, 1));
        }
    }
    return out;
}

QString truncatedCharacters(const QString& text, int characters) {
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
    int count = 0;
    while (finder.toNextBoundary() != -1) {
        if (++count == characters) {
            return text.left(finder.position());
        }
    }
    return text;
}

} // namespace

QString rawValue(Field field) {
    switch (field) {
    case Field::install:
        return QStringLiteral("install");
    case Field::product:
        return QStringLiteral("product");
    case Field::platform:
        return QStringLiteral("platform");
    case Field::version:
        return QStringLiteral("version");
    case Field::os:
        return QStringLiteral("os");
    case Field::rating:
        return QStringLiteral("rating");
    case Field::name:
        return QStringLiteral("name");
    case Field::text:
        return QStringLiteral("text");
    case Field::lang:
        return QStringLiteral("lang");
    }
    return {};
}

std::optional<Field> fieldFromRaw(QStringView raw) {
    for (const Field field : {Field::install, Field::product, Field::platform, Field::version,
                              Field::os, Field::rating, Field::name, Field::text, Field::lang}) {
        if (raw == rawValue(field)) {
            return field;
        }
    }
    return std::nullopt;
}

std::optional<Field> refusedField(QByteArrayView body) {
    QJsonParseError error;
    const QJsonDocument document =
        QJsonDocument::fromJson(QByteArray::fromRawData(body.data(), body.size()), &error);
    if (error.error != QJsonParseError::NoError || !document.isObject()) {
        return std::nullopt;
    }
    const QJsonValue field = document.object().value(QLatin1String("field"));
    if (!field.isString()) {
        return std::nullopt;
    }
    return fieldFromRaw(field.toString());
}

Outcome Outcome::fromAnswer(std::optional<int> status, const std::optional<QByteArray>& body) {
    if (!status) {
        return of(Kind::offline);
    }
    switch (*status) {
    case 200:
    case 201:
        return of(Kind::sent);
    case 400:
        return invalid(body ? refusedField(*body) : std::nullopt);
    case 409:
        return of(Kind::alreadySent);
    case 429:
        return of(Kind::tooMany);
    default:
        return of(Kind::failed);
    }
}

QString Outcome::message(const QString& host) const {
    switch (kind) {
    case Kind::invalid:
        if (field == Field::rating) {
            return ReviewPostText::tr("Choose from 1 to 5 stars.",
                                      "Review window: the server refused the rating");
        }
        if (field == Field::name) {
            return ReviewPostText::tr("The name to show needs 2 to 60 characters on one line.",
                                      "Review window: the server refused the name");
        }
        if (field == Field::text) {
            return ReviewPostText::tr("The review needs 20 to 800 characters.",
                                      "Review window: the server refused the text");
        }
        return ReviewPostText::tr(
                   "%1 did not accept the review (%2). Please try again later.",
                   "Review window: the server refused a field the user cannot change; the "
                   "field's name")
            .arg(host, field ? rawValue(*field) : QStringLiteral("?"));
    case Kind::tooMany:
        return ReviewPostText::tr(
            "Too many reviews came from your network in the last hour. What you wrote is "
            "kept, please try again later.",
            "Review window: the server's rate limit");
    case Kind::offline:
        return ReviewPostText::tr(
                   "%1 could not be reached. What you wrote is kept, please try again later.",
                   "Review window: no connection")
            .arg(host);
    case Kind::sent:
    case Kind::alreadySent:
    case Kind::failed:
        break;
    }
    return ReviewPostText::tr(
        "The review could not be sent right now. What you wrote is kept, please try again "
        "later.",
        "Review window: any other server answer");
}

QString cleanName(const QString& name) {
    return filtered(name, [](char32_t scalar) {
        const QChar::Category category = QChar::category(scalar);
        if (category != QChar::Other_Control && category != QChar::Other_Format) {
            return true;
        }
        return isWhiteSpace(scalar) || scalar == zeroWidthJoiner;
    });
}

QString normalizedName(const QString& name) {
    const QString cleaned = cleanName(name);
    // Split by user-perceived characters: a character is whitespace by its
    // first scalar, so a combining mark on a space goes with the space.
    QStringList runs;
    QString run;
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, cleaned);
    qsizetype start = 0;
    while (finder.toNextBoundary() != -1) {
        const qsizetype end = finder.position();
        const QString character = cleaned.mid(start, end - start);
        start = end;
        if (isWhiteSpace(character.toUcs4().value(0))) {
            if (!run.isEmpty()) {
                runs << run;
                run.clear();
            }
        } else {
            run += character;
        }
    }
    if (!run.isEmpty()) {
        runs << run;
    }
    return runs.join(QLatin1Char(' '));
}

QString cleanText(const QString& text) {
    return filtered(text, [](char32_t scalar) {
        switch (QChar::category(scalar)) {
        case QChar::Other_Control:
            return scalar == U'\t' || scalar == U'\n';
        case QChar::Other_Format:
            return scalar == zeroWidthJoiner;
        default:
            return true;
        }
    });
}

QString normalizedText(const QString& text) {
    const QList<uint> scalars = cleanText(text).toUcs4();
    qsizetype first = 0;
    qsizetype last = scalars.size();
    while (first < last && isWhiteSpace(scalars[first])) {
        ++first;
    }
    while (last > first && isWhiteSpace(scalars[last - 1])) {
        --last;
    }
    return QString::fromUcs4(reinterpret_cast<const char32_t*>(scalars.constData()) + first,
                             last - first);
}

qsizetype scalarCount(const QString& text) {
    return text.toUcs4().size();
}

std::optional<Field> validate(int rating, const QString& name, const QString& text) {
    if (rating < 1 || rating > 5) {
        return Field::rating;
    }
    const qsizetype nameLength = scalarCount(normalizedName(name));
    if (nameLength < minimumNameLength || nameLength > maximumNameLength) {
        return Field::name;
    }
    const qsizetype textLength = scalarCount(normalizedText(text));
    if (textLength < minimumTextLength || textLength > maximumTextLength) {
        return Field::text;
    }
    return std::nullopt;
}

QByteArray requestBody(const Sender& sender, int rating, const QString& name, const QString& text) {
    // QJsonObject keeps its members sorted by key, so the compact form lists
    // them in sorted order.
    QJsonObject body{
        {QStringLiteral("install"), sender.install},
        {QStringLiteral("product"), QStringLiteral("vexlin")},
        {QStringLiteral("platform"), QStringLiteral("linux")},
        {QStringLiteral("version"),
         truncatedCharacters(sender.version.isEmpty() ? QStringLiteral("0") : sender.version, 20)},
        {QStringLiteral("os"), truncatedCharacters(sender.os, 40)},
        {QStringLiteral("rating"), rating},
        {QStringLiteral("name"), normalizedName(name)},
        {QStringLiteral("text"), normalizedText(text)},
    };
    QString language = sender.language;
    language.replace(QLatin1Char('_'), QLatin1Char('-'));
    if (!language.isEmpty() && language.size() <= 10) {
        body.insert(QStringLiteral("lang"), language);
    }
    return QJsonDocument(body).toJson(QJsonDocument::Compact);
}

Request makeRequest(const QUrl& url, const Sender& sender, int rating, const QString& name,
                    const QString& text) {
    QNetworkRequest request(url);
    request.setTransferTimeout(30'000);
    request.setHeader(QNetworkRequest::ContentTypeHeader, QStringLiteral("application/json"));
    request.setRawHeader("Accept", "application/json");
    return {request, requestBody(sender, rating, name, text)};
}

} // namespace service::ReviewPost
