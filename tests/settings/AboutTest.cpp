#include "settings/AboutView.h"

#include "service/Reviews.h"
#include "support/TempDir.h"

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

// The Rate link leaves both forms of the view as soon as a review is sent.
TEST(AboutView, RateLeavesOnceAReviewIsSent) {
    testsupport::TempDir folder;
    service::Reviews reviews(folder.file(QStringLiteral("settings.conf")), nullptr);
    AboutView window(false, nullptr, &reviews);
    AboutView section(true, nullptr, &reviews);
    const auto offersRate = [](const AboutView& view) {
        return view.findChild<QLabel*>(QStringLiteral("links"))
            ->text()
            .contains(QStringLiteral("Rate Vexlin Capture"));
    };
    EXPECT_TRUE(offersRate(window));
    EXPECT_TRUE(offersRate(section));

    reviews.markReviewSent();
    EXPECT_FALSE(offersRate(window));
    EXPECT_FALSE(offersRate(section));
    EXPECT_FALSE(offersRate(AboutView(true, nullptr, &reviews)));
    // The four feature lines each with a symbol.
    const auto symbols = window.findChildren<QLabel*>(QStringLiteral("featureSymbol"));
    ASSERT_EQ(symbols.size(), 4);
    for (const QLabel* symbol : symbols) {
        EXPECT_FALSE(symbol->pixmap().isNull());
    }
}

} // namespace
