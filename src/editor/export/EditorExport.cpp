#include "editor/export/EditorExport.h"

#include "annotation/EditStore.h"
#include "annotation/EditorDocument.h"
#include "annotation/Renderer.h"
#include "app/ContentKey.h"
#include "app/FilePanels.h"
#include "app/ImageEncoding.h"
#include "app/ImageFiles.h"
#include "app/PasteboardCopy.h"
#include "app/Preferences.h"
#include "delivery/RecentCaptures.h"
#include "app/SaveLocation.h"
#include "app/SavePanel.h"
#include "editor/export/SaveDecision.h"
#include "platform/MainThread.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QMimeData>
#include <QUrl>

#include <algorithm>

namespace editor {

namespace {

app::Preferences& preferences() {
    return app::SaveLocation::preferences();
}

// A file in the save folder is reached through the save folder, as every
// access to it is; any other file directly.
template <typename Body> auto atFile(const QString& path, Body&& body) {
    if (app::SaveLocation::contains(path)) {
        return app::SaveLocation::withFolder(std::forward<Body>(body));
    }
    return body(QFileInfo(path).absolutePath());
}

} // namespace

ExportServices& ExportServices::shared() {
    static ExportServices services{
        .copyImage = [](const QImage& image,
                        double scale) { app::copyImageToPasteboard(image, std::nullopt, scale); },
        .pin = {},
        .share = {},
        .refreshRecent = [] { delivery::RecentCaptures::shared().refresh(); },
        .editStore = &annotation::EditStore::shared(),
        .now = [] { return QDateTime::currentDateTime(); },
    };
    return services;
}

EditorExport::EditorExport(ExportHost& host, ConfirmationBadgeModel& badge, ExportServices services,
                           QObject* parent)
    : QObject(parent), host_(host), badge_(badge), services_(std::move(services)) {}

EditorExport::~EditorExport() = default;

QString EditorExport::copiedText() {
    //: Confirmation after copying, in Quick Access and the editor
    return QCoreApplication::translate("EditorExport", "Copied");
}

QString EditorExport::savedText() {
    //: Confirmation after saving, in Quick Access and the editor
    return QCoreApplication::translate("EditorExport", "Saved");
}

std::optional<EditorExport::Rendered> EditorExport::render() {
    platform::assertMainThread();
    annotation::EditorDocument* document = host_.document();
    if (!document) {
        return std::nullopt;
    }
    host_.finishTextEditing();
    Rendered rendered{document, document->state(), {}};
    std::optional<QImage> image = annotation::renderer::render(rendered.state, document->sources());
    if (!image) {
        return std::nullopt;
    }
    rendered.image = std::move(*image);
    return rendered;
}

std::optional<QImage> EditorExport::renderedImage() {
    std::optional<Rendered> rendered = render();
    if (!rendered) {
        return std::nullopt;
    }
    return std::move(rendered->image);
}

void EditorExport::closeIfAsked() {
    if (preferences().closeEditorAfterExport()) {
        host_.closeAfterExport();
    }
}

void EditorExport::copy() {
    const std::optional<Rendered> rendered = render();
    if (!rendered) {
        return;
    }
    if (services_.copyImage) {
        services_.copyImage(rendered->image, rendered->document->capture().scale);
    }
    rendered->document->markExported(rendered->state);
    badge_.show(copiedText());
    closeIfAsked();
}

void EditorExport::save() {
    if (writeImage()) {
        badge_.show(savedText());
        closeIfAsked();
    }
}

bool EditorExport::writeImage() {
    platform::assertMainThread();
    annotation::EditorDocument* document = host_.document();
    if (!document) {
        return false;
    }
    host_.finishTextEditing();
    const annotation::EditorState state = document->state();
    const std::optional<EditorFile> file = host_.file();

    FileOnDisk disk;
    if (file) {
        // The bytes are only read when they can spare the write.
        const bool unchanged = file->savedState == state;
        const app::Result<FileOnDisk> probed =
            atFile(file->path, [&](const QString&) -> app::Result<FileOnDisk> {
                return probeFile(file->path, unchanged);
            });
        if (probed) {
            disk = probed.value();
        }
    }
    const SaveDecision decision = decideSave(file, state, disk, preferences().imageFormat());
    if (decision.action == SaveDecision::Action::nothing) {
        document->markExported(state);
        return true;
    }

    const std::optional<QImage> image = annotation::renderer::render(state, document->sources());
    if (!image) {
        return false;
    }
    const app::Capture& capture = document->capture();
    const std::optional<QByteArray> bytes =
        app::encodeImage(*image, decision.format, capture.scale);
    const auto write = [&]() -> app::Result<QString> {
        if (decision.action == SaveDecision::Action::overwrite) {
            if (!bytes) {
                return app::FileError::encodingFailed(file->path);
            }
            return atFile(file->path, [&](const QString&) -> app::Result<QString> {
                const app::Result<app::Done> done =
                    app::writeDataAtomicallyOrDirect(*bytes, file->path);
                if (!done) {
                    return done.error();
                }
                return file->path;
            });
        }
        if (!bytes) {
            return app::FileError::encodingFailed();
        }
        return app::SaveLocation::withFolder([&](const QString& folder) {
            return app::writeUniqueFile(*bytes, folder, capture.date, decision.format);
        });
    };
    const app::Result<QString> written = write();
    if (!written) {
        if (!app::SaveLocation::isUserCancellation(written.error())) {
            app::FilePanels::current().showError(host_.window(), written.error());
        }
        return false;
    }
    recordSavedFile(written.value(), *bytes, *document, state, true);
    document->markExported(state);
    if (services_.refreshRecent) {
        services_.refreshRecent();
    }
    return true;
}

void EditorExport::recordSavedFile(const QString& path, const QByteArray& data,
                                   const annotation::EditorDocument& document,
                                   const annotation::EditorState& state, bool replacing) {
    platform::assertMainThread();
    const std::optional<EditorFile> previous = host_.file();
    if (preferences().keepAnnotationsEditable() && services_.editStore) {
        const annotation::EditStore& store = *services_.editStore;
        std::optional<QByteArray> original;
        if (previous) {
            original = previous->originalData;
            if (!original && !previous->key.isEmpty()) {
                const app::Result<QByteArray> kept =
                    app::readData(store.recordFolder(previous->key) + QStringLiteral("/original"));
                if (kept) {
                    original = kept.value();
                }
            }
        }
        std::optional<QString> previousKey;
        if (replacing && previous) {
            previousKey = previous->key;
        }
        store.save(annotation::EditStore::Save{
            document.capture(), original, state, data, path, previousKey,
            services_.now ? services_.now() : QDateTime::currentDateTime()});
    }
    host_.setFile(EditorFile{path, app::contentKey(data), state,
                             state.isDefault() ? std::optional<QByteArray>(data) : std::nullopt});
}

void EditorExport::saveAs() {
    const std::optional<Rendered> rendered = render();
    if (!rendered) {
        return;
    }
    const app::Capture& capture = rendered->document->capture();
    QPointer<EditorExport> self(this);
    QPointer<annotation::EditorDocument> document(rendered->document);
    app::saveImageWithPanel(
        rendered->image, capture.date, host_.window(), capture.scale,
        [self, document, state = rendered->state](const std::optional<QString>& path) {
            if (self && path) {
                self->didSave(*path, document, state);
            }
        });
}

void EditorExport::didSave(const QString& path,
                           const QPointer<annotation::EditorDocument>& document,
                           const annotation::EditorState& state) {
    // The window may show another document by now; the file is not its.
    if (!document || document != host_.document()) {
        return;
    }
    if (const app::Result<QByteArray> data = app::readData(path)) {
        // The file the editor had before keeps its own record.
        recordSavedFile(path, data.value(), *document, state, false);
    }
    document->markExported(state);
    if (services_.refreshRecent) {
        services_.refreshRecent();
    }
    badge_.show(savedText());
    closeIfAsked();
}

void EditorExport::pin() {
    const std::optional<Rendered> rendered = render();
    if (!rendered || !services_.pin) {
        return;
    }
    const app::Capture& source = rendered->document->capture();
    app::Capture pinned;
    pinned.id = QUuid::createUuid();
    pinned.image = rendered->image;
    pinned.scale = std::max(source.scale, 1.0);
    pinned.date = source.date;
    services_.pin(pinned);
}

void EditorExport::share(QWidget* anchor) {
    const std::optional<Rendered> rendered = render();
    if (!rendered || !services_.share) {
        return;
    }
    const app::Capture& capture = rendered->document->capture();
    const std::optional<QString> file =
        app::writeDragFile(rendered->image, capture.date, capture.scale);
    if (file) {
        services_.share(*file, anchor);
    }
}

std::unique_ptr<QMimeData> EditorExport::dragData() {
    auto data = std::make_unique<QMimeData>();
    const std::optional<Rendered> rendered = render();
    if (!rendered) {
        return data;
    }
    const app::Capture& capture = rendered->document->capture();
    const std::optional<QString> file =
        app::writeDragFile(rendered->image, capture.date, capture.scale);
    if (!file) {
        return data;
    }
    // The file is what most programs take; the bytes serve those that take
    // only an image.
    const app::Result<QByteArray> bytes = app::readData(*file);
    if (!bytes) {
        return data;
    }
    data->setUrls({QUrl::fromLocalFile(*file)});
    data->setData(app::mimeType(app::ImageFormat::png), bytes.value());
    return data;
}

} // namespace editor
