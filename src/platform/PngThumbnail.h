#pragma once

#include <QImage>
#include <QSize>
#include <QString>

#include <optional>

namespace platform {

// Reads a PNG file straight into a picture that fits `box` with its aspect
// kept (never enlarged): each row is averaged into the small picture as it is
// decoded, so the full-size picture never exists, and checksums are not
// verified (a damaged file still fails on its data). Premultiplied ARGB32, or
// RGB32 for a file without transparency. None when the file is no PNG, is
// interlaced, or cannot be decoded; the caller then falls back on a general
// reader. Any thread.
std::optional<QImage> readPngFitting(const QString& path, QSize box);

} // namespace platform
