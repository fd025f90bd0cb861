#pragma once

#include <QString>
#include <QUrl>
#include <QWidget>

class QLabel;

namespace service {
class Reviews;
}

namespace settings {

// The pages of the product's web site that the About view links to.
enum class WebPage { whatsNew, support, privacy };

// The program's icon, name, version, what it does, and links to its web
// pages. The About window shows it in full; the settings window's About
// section in its compact form, without the Settings button.
class AboutView : public QWidget {
    Q_OBJECT
public:
    // Over the program's review state, or the given one.
    explicit AboutView(bool compact, QWidget* parent = nullptr,
                       service::Reviews* reviews = nullptr);

    // "0.1.0 (1)": the version and build of this build.
    static QString versionString();
    // The same from given parts; an empty version reads "1.0", an empty
    // build "1".
    static QString versionString(const QString& version, const QString& build);

    // The page under the site root, with a language folder for the
    // translations the site has ("pt-BR" gives "pt-br/").
    static QUrl linkURL(WebPage page, const QUrl& root, const QString& localization);
    static QUrl linkURL(WebPage page);

    // The site root: the settings key serviceBaseURL, else the built-in one.
    static QUrl serviceRoot();

private:
    // The link row: "Rate Vexlin Capture" only until a review is sent.
    void showLinks();

    service::Reviews& reviews_;
    QLabel* links_ = nullptr;
};

// The language of the translation the program loaded, as a tag ("pt-BR");
// "en" while none is loaded.
QString preferredLocalization();
// Called by whoever loads a translation, with its language ("pt_BR").
void setLoadedTranslation(const QString& language);

} // namespace settings
