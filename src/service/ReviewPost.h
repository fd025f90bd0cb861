#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QNetworkRequest>
#include <QString>
#include <QUrl>

#include <optional>

namespace service {

// The wire side of the one public review an installation may send: how the
// typed name and text are cleaned, the local limits, the request, and what
// the server's answer means to the user.
namespace ReviewPost {

// The keys of the request body.
enum class Field { install, product, platform, version, os, rating, name, text, lang };

QString rawValue(Field field);
// Exactly the nine raw values, case-sensitive.
std::optional<Field> fieldFromRaw(QStringView raw);

struct Outcome {
    enum class Kind { invalid, sent, alreadySent, tooMany, offline, failed };
    Kind kind = Kind::failed;
    // Only for invalid: the field the server named, when it named a known one.
    std::optional<Field> field;

    friend bool operator==(const Outcome&, const Outcome&) = default;

    static Outcome invalid(std::optional<Field> f) { return {Kind::invalid, f}; }
    static Outcome of(Kind kind) { return {kind, std::nullopt}; }

    // No status: no HTTP answer arrived. The body matters only for 400.
    static Outcome fromAnswer(std::optional<int> status, const std::optional<QByteArray>& body);

    // What the review window shows for this outcome; host is the service's.
    QString message(const QString& host) const;
};

// The field a 400 answer names: the body must be a JSON object whose member
// "field" is a string naming a known field.
std::optional<Field> refusedField(QByteArrayView body);

// Control and format characters go; whitespace and the zero-width joiner
// (emoji sequences) stay.
QString cleanName(const QString& name);
// Cleaned, on one line: every run of whitespace or line breaks is one space,
// none at either end.
QString normalizedName(const QString& name);
// Control characters but tab and line feed go (so CR LF becomes LF), format
// characters but the zero-width joiner go.
QString cleanText(const QString& text);
// Cleaned and trimmed of whitespace and line breaks at both ends.
QString normalizedText(const QString& text);

// Counted in Unicode scalars, as the server counts.
qsizetype scalarCount(const QString& text);

inline constexpr int minimumNameLength = 2;
inline constexpr int maximumNameLength = 60;
inline constexpr int minimumTextLength = 20;
inline constexpr int maximumTextLength = 800;

// The first field that breaks a local limit, in the order rating, name, text.
std::optional<Field> validate(int rating, const QString& name, const QString& text);

// What the request carries besides the typed rating, name and text.
struct Sender {
    QString install;
    QString version;
    QString os;
    // The program's language ("pt-BR"); empty for none.
    QString language;
};

struct Request {
    QNetworkRequest request;
    QByteArray body;
};

// The body: compact JSON with sorted keys; the name and text normalised.
QByteArray requestBody(const Sender& sender, int rating, const QString& name, const QString& text);
// The POST to url with its headers and time-out.
Request makeRequest(const QUrl& url, const Sender& sender, int rating, const QString& name,
                    const QString& text);

inline constexpr char reviewsPath[] = "/api/v1/reviews";
inline constexpr char helpPath[] = "/support";
inline constexpr char helpFragment[] = "reviews";

} // namespace ReviewPost

} // namespace service
