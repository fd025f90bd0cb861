#pragma once

#include <QString>
#include <QUrl>

#include <functional>
#include <optional>

namespace service {
class InstallCount;
class Reviews;
class Updates;
struct UpdateManifest;
} // namespace service

namespace settings {

class FormPane;

// What the web service's sections of the General pane show and call.
struct ServiceSectionModels {
    service::Updates* updates = nullptr;
    service::InstallCount* count = nullptr;
    service::Reviews* reviews = nullptr;
    // The running version the update status names.
    QString runningVersion;
    // The service's host as the texts name it.
    QString host;
    // The site the review link lies on; none when the configured address is
    // refused, and then the link opens nothing.
    std::optional<QUrl> siteRoot;
    // The language the program runs in ("pt-BR"), for the review link.
    std::function<QString()> language;
    // Hands a release to the installer ("Update Now").
    std::function<void(const service::UpdateManifest&)> install;
    std::function<void()> openReviewWindow;
    std::function<void(const QUrl&)> openUrl;
};

// The program's shared models and actions.
ServiceSectionModels sharedServiceSectionModels();

// Adds the update section, the two installation-count sections and the
// review section to the pane, each following its model.
void addServiceSections(FormPane& pane, const ServiceSectionModels& models);

} // namespace settings
