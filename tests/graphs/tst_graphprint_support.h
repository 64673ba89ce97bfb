#pragma once
#include <QColor>
#include <QFile>
#include <QPainter>
#include <QString>
#include <QSvgGenerator>
#include <cerrno>
#include <optional>

namespace hv::test {

// A small chart picture: a frame filled with `fill` and a diagonal line.
inline void writeTestSvg(const QString& path, const QColor& fill = QColor(255, 0, 0)) {
    QSvgGenerator svg;
    svg.setFileName(path);
    svg.setSize(QSize(200, 150));
    svg.setViewBox(QRect(0, 0, 200, 150));
    QPainter painter(&svg);
    painter.fillRect(QRect(10, 10, 180, 130), fill);
    painter.drawLine(10, 140, 190, 10);
}

// What a test's picture writer returns: a failure in a writer's words when `fail`, else nothing.
inline std::optional<QString> writerResult(bool fail) {
    return fail ? std::optional<QString>(QStringLiteral("the picture was not written")) : std::nullopt;
}

// The system's own words for an error number, in the computer's language, as a failed write
// reports them.
inline QString systemWords(int error) {
    return qt_error_string(error);
}

} // namespace hv::test
