#include "settings/AboutView.h"

#include <QLabel>
#include <gtest/gtest.h>

namespace {

using settings::AboutView;
using settings::WebPage;

TEST(AboutView, LinksCarryTheLanguageFolderOnlyForTheSiteTranslations) {
    struct Case {
        const char* localization;
        WebPage page;
        const char* url;
    };
    const Case cases[] = {
        {"pt-BR", WebPage::support, "https://example.test/pt-br/support"},
        {"pt_BR", WebPage::whatsNew, "https://example.test/pt-br/vexlin/whats-new"},
        {"en", WebPage::support, "https://example.test/support"},
        {"nl", WebPage::privacy, "https://example.test/privacy"},
        {"zh-Hant", WebPage::privacy, "https://example.test/zh-hant/privacy"},
        {"", WebPage::support, "https://example.test/support"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(AboutView::linkURL(c.page, QUrl(QStringLiteral("https://example.test")),
                                     QString::fromUtf8(c.localization))
                      .toString(),
                  QString::fromUtf8(c.url))
            << c.localization;
    }
    // A root with a path of its own keeps it.
    EXPECT_EQ(AboutView::linkURL(WebPage::support, QUrl(QStringLiteral("http://127.0.0.1:8080/v/")),
                                 QStringLiteral("de"))
                  .toString(),
              QStringLiteral("http://127.0.0.1:8080/v/de/support"));
}

TEST(AboutView, TheLoadedTranslationIsTheLinksLanguage) {
    EXPECT_EQ(settings::preferredLocalization(), QStringLiteral("en"));
    settings::setLoadedTranslation(QStringLiteral("pt_BR"));
    EXPECT_EQ(settings::preferredLocalization(), QStringLiteral("pt-BR"));
    AboutView view(true);
    EXPECT_TRUE(view.findChild<QLabel*>(QStringLiteral("links"))
                    ->text()
                    .contains(QStringLiteral("/pt-br/support\"")));
    settings::setLoadedTranslation(QString());
    EXPECT_EQ(AboutView::versionString(QString(), QString()), QStringLiteral("1.0 (1)"));
}

} // namespace
