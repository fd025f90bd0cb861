#include "settings/AboutView.h"

#include "settings/SettingsSymbol.h"
#include "settings/SettingsWindowController.h"
#include "settings/WelcomeWindowController.h"

#include "app/BrandIcon.h"
#include "app/Bundle.h"
#include "app/Preferences.h"
#include "service/ReviewWindow.h"
#include "service/Reviews.h"

#include <QApplication>
#include <QDesktopServices>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QSettings>
#include <QVBoxLayout>

#ifndef VEXLIN_BUILD_NUMBER
#define VEXLIN_BUILD_NUMBER "1"
#endif
#ifndef VEXLIN_COPYRIGHT
#define VEXLIN_COPYRIGHT ""
#endif

namespace settings {

namespace {

QString loadedLanguage;

QLabel* centred(const QString& text, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setAlignment(Qt::AlignCenter);
    return label;
}

QString anchor(const QUrl& url, const QString& text) {
    return QStringLiteral("<a href=\"%1\">%2</a>")
        .arg(url.toString(QUrl::FullyEncoded).toHtmlEscaped(), text.toHtmlEscaped());
}

} // namespace

QString preferredLocalization() {
    if (loadedLanguage.isEmpty()) {
        return QStringLiteral("en");
    }
    QString tag = loadedLanguage;
    tag.replace(QLatin1Char('_'), QLatin1Char('-'));
    return tag;
}

void setLoadedTranslation(const QString& language) {
    loadedLanguage = language;
}

QString AboutView::versionString() {
    return versionString(app::Bundle::main().shortVersionString(),
                         QStringLiteral(VEXLIN_BUILD_NUMBER));
}

QString AboutView::versionString(const QString& version, const QString& build) {
    return QStringLiteral("%1 (%2)").arg(version.isEmpty() ? QStringLiteral("1.0") : version,
                                         build.isEmpty() ? QStringLiteral("1") : build);
}

QUrl AboutView::linkURL(WebPage page, const QUrl& root, const QString& localization) {
    QString path = root.path();
    if (!path.endsWith(QLatin1Char('/'))) {
        path += QLatin1Char('/');
    }
    const QString language = localization.toLower().replace(QLatin1Char('_'), QLatin1Char('-'));
    static const QStringList translated = {
        QStringLiteral("de"),    QStringLiteral("fr"),      QStringLiteral("es"),
        QStringLiteral("it"),    QStringLiteral("ja"),      QStringLiteral("ko"),
        QStringLiteral("pt-br"), QStringLiteral("zh-hans"), QStringLiteral("zh-hant")};
    if (translated.contains(language)) {
        path += language + QLatin1Char('/');
    }
    switch (page) {
    case WebPage::whatsNew:
        path += QLatin1String("vexlin/whats-new");
        break;
    case WebPage::support:
        path += QLatin1String("support");
        break;
    case WebPage::privacy:
        path += QLatin1String("privacy");
        break;
    }
    QUrl url = root;
    url.setPath(path);
    return url;
}

QUrl AboutView::linkURL(WebPage page) {
    return linkURL(page, serviceRoot(), preferredLocalization());
}

QUrl AboutView::serviceRoot() {
    const QSettings file(app::Preferences::shared().filePath(), QSettings::IniFormat);
    const QUrl configured(file.value(QStringLiteral("serviceBaseURL")).toString());
    if (configured.isValid() && !configured.scheme().isEmpty() && !configured.host().isEmpty()) {
        return configured;
    }
    return QUrl(QStringLiteral("https://vexlin.app"));
}

AboutView::AboutView(bool compact, QWidget* parent, service::Reviews* reviews)
    : QWidget(parent), reviews_(reviews != nullptr ? *reviews : service::Reviews::shared()) {
    setObjectName(QStringLiteral("aboutView"));
    auto* layout = new QVBoxLayout(this);
    layout->setSpacing(0);
    layout->setContentsMargins(24, 0, 24, compact ? 4 : 22);
    const auto gap = [layout](int points) { layout->addSpacing(points); };

    gap(compact ? 4 : 26);
    const int side = compact ? 96 : 128;
    auto* icon = new QLabel(this);
    QIcon image = QApplication::windowIcon();
    if (image.isNull()) {
        image = QIcon(QPixmap::fromImage(
            app::BrandIcon::render(side * 2, palette().color(QPalette::Highlight))));
    }
    icon->setPixmap(image.pixmap(side, side));
    icon->setAlignment(Qt::AlignCenter);
    layout->addWidget(icon);

    gap(8);
    QLabel* name = centred(app::Bundle::main().appDisplayName(), this);
    QFont nameFont = name->font();
    nameFont.setPointSizeF(compact ? 18 : 21);
    nameFont.setBold(true);
    name->setFont(nameFont);
    layout->addWidget(name);

    gap(2);
    //: About: version and build, like 1.1 (4)
    QLabel* version = centred(tr("Version %1").arg(versionString()), this);
    version->setObjectName(QStringLiteral("version"));
    version->setTextInteractionFlags(Qt::TextSelectableByMouse);
    QPalette secondary = version->palette();
    secondary.setColor(QPalette::WindowText, secondary.color(QPalette::PlaceholderText));
    version->setPalette(secondary);
    layout->addWidget(version);

    gap(14);
    //: About: what the program does, under its name
    QLabel* blurb = centred(tr("Screenshots, annotations, scrolling captures and text recognition, "
                               "right from the tray."),
                            this);
    blurb->setWordWrap(true);
    blurb->setFixedWidth(300);
    blurb->setMinimumHeight(blurb->heightForWidth(300));
    QPalette dim = blurb->palette();
    dim.setColor(QPalette::WindowText, dim.color(QPalette::PlaceholderText));
    blurb->setPalette(dim);
    layout->addWidget(blurb, 0, Qt::AlignHCenter);

    gap(18);
    // The lines start at one edge and the block stands in the middle.
    auto* featureBox = new QWidget(this);
    auto* features = new QVBoxLayout(featureBox);
    features->setContentsMargins(0, 0, 0, 0);
    features->setSpacing(7);
    const std::pair<const char*, const char*> lines[] = {
        //: About: feature line
        {QT_TRANSLATE_NOOP("settings::AboutView", "Area, window, fullscreen and scrolling capture"),
         "rectangle.dashed"},
        //: About: feature line
        {QT_TRANSLATE_NOOP("settings::AboutView", "Text recognition, on this computer only"),
         "textformat"},
        //: About: feature line
        {QT_TRANSLATE_NOOP("settings::AboutView", "Annotate, redact, crop and add backgrounds"),
         "pencil"},
        //: About: feature line
        {QT_TRANSLATE_NOOP("settings::AboutView", "No account, no ads, nothing uploaded"),
         "lock.shield"},
    };
    for (const auto& [line, symbolName] : lines) {
        auto* row = new QHBoxLayout;
        row->setSpacing(6);
        auto* symbol = new QLabel(featureBox);
        symbol->setObjectName(QStringLiteral("featureSymbol"));
        symbol->setFixedWidth(20);
        symbol->setAlignment(Qt::AlignCenter);
        symbol->setPixmap(settingsSymbol(QString::fromLatin1(symbolName),
                                         palette().color(QPalette::Highlight), 16,
                                         devicePixelRatioF()));
        row->addWidget(symbol);
        row->addWidget(new QLabel(tr(line), featureBox), 1);
        features->addLayout(row);
    }
    featureBox->setSizePolicy(QSizePolicy::Maximum, QSizePolicy::Fixed);
    layout->addWidget(featureBox, 0, Qt::AlignHCenter);

    gap(20);
    auto* buttons = new QHBoxLayout;
    buttons->setSpacing(10);
    buttons->addStretch();
    //: About: opens the welcome guide
    auto* welcome = new QPushButton(tr("Welcome Guide"), this);
    welcome->setObjectName(QStringLiteral("welcomeGuide"));
    connect(welcome, &QPushButton::clicked, this, [] { WelcomeWindowController::show(); });
    buttons->addWidget(welcome);
    if (!compact) {
        //: About: opens the settings window
        auto* settingsButton = new QPushButton(tr("Settings"), this);
        settingsButton->setObjectName(QStringLiteral("settings"));
        connect(settingsButton, &QPushButton::clicked, this,
                [] { SettingsWindowController::show(SettingsSection::general); });
        buttons->addWidget(settingsButton);
    }
    buttons->addStretch();
    layout->addLayout(buttons);

    gap(14);
    links_ = centred(QString(), this);
    links_->setObjectName(QStringLiteral("links"));
    links_->setTextFormat(Qt::RichText);
    connect(links_, &QLabel::linkActivated, this, [this](const QString& link) {
        if (link == QLatin1String("review:")) {
            // A review sent meanwhile (from another window) closes the way.
            if (!reviews_.reviewSent()) {
                service::ReviewWindowController::show();
            }
        } else {
            QDesktopServices::openUrl(QUrl(link));
        }
    });
    showLinks();
    connect(&reviews_, &service::Reviews::reviewSentChanged, this, &AboutView::showLinks);
    layout->addWidget(links_);

    gap(18);
    QLabel* copyright = centred(QStringLiteral(VEXLIN_COPYRIGHT), this);
    QFont small = copyright->font();
    small.setPointSizeF(small.pointSizeF() * 0.85);
    copyright->setFont(small);
    copyright->setPalette(dim);
    layout->addWidget(copyright);

    gap(6);
    //: About: link to the privacy policy web page
    QLabel* privacy = centred(anchor(linkURL(WebPage::privacy), tr("Privacy Policy")), this);
    privacy->setObjectName(QStringLiteral("privacyLink"));
    privacy->setFont(small);
    privacy->setOpenExternalLinks(true);
    layout->addWidget(privacy);
    // Extra height goes below the view, not between its lines.
    layout->addStretch(1);
}

void AboutView::showLinks() {
    QStringList links = {
        //: About: link to the web page of what is new in this version
        anchor(linkURL(WebPage::whatsNew), tr("What’s New")),
        //: About: link to the support web page
        anchor(linkURL(WebPage::support), tr("Support")),
    };
    if (!reviews_.reviewSent()) {
        //: About: link that opens the form to rate and review Vexlin Capture
        links << QStringLiteral("<a href=\"review:\">%1</a>").arg(tr("Rate Vexlin Capture"));
    }
    links_->setText(links.join(QStringLiteral("&nbsp;&nbsp;&nbsp;&nbsp;")));
}

} // namespace settings
