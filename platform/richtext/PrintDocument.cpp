#include "platform/richtext/PrintDocument.h"

#include "platform/errors/Errors.h"

#include <QAbstractTextDocumentLayout>
#include <QImage>
#include <QPageLayout>
#include <QPainter>
#include <QPrinter>
#include <QTextDocument>

#include <memory>

namespace orvela::richtext {

namespace {

/// The layout is made at the view's 96 dpi and scaled onto the printer, so that every length of the
/// document keeps its proportion whatever the printer's resolution.
constexpr qreal kLayoutDpi = 96.0;

} // namespace

void PrintDocument(const QTextDocument& document, QPrinter& printer)
{
    // A printer comes with margins of Qt's choosing (10 pt) inside its printable area; the text fills
    // the whole area instead.
    const QPageLayout layout = printer.pageLayout();
    printer.setPageMargins(layout.minimumMargins(), layout.units());
    QPainter painter;
    if (!painter.begin(&printer)) {
        if (printer.outputFormat() == QPrinter::PdfFormat && !printer.outputFileName().isEmpty())
            throw FileError(QStringLiteral("Cannot create file %1").arg(printer.outputFileName()));
        throw Error(QStringLiteral("Cannot start printing on %1").arg(printer.printerName()));
    }
    const qreal scaleX = printer.logicalDpiX() / kLayoutDpi;
    const qreal scaleY = printer.logicalDpiY() / kLayoutDpi;
    const QSizeF page(printer.width() / scaleX, printer.height() / scaleY);

    QImage metrics(1, 1, QImage::Format_RGB32);
    metrics.setDotsPerMeterX(qRound(kLayoutDpi / 0.0254));
    metrics.setDotsPerMeterY(qRound(kLayoutDpi / 0.0254));
    const std::unique_ptr<QTextDocument> copy(document.clone());
    copy->setDefaultFont(document.defaultFont());
    copy->documentLayout()->setPaintDevice(&metrics);
    copy->setUseDesignMetrics(true);
    copy->setDocumentMargin(0);
    copy->setPageSize(page);

    const int pages = std::max(copy->pageCount(), 1);
    painter.scale(scaleX, scaleY);
    for (int index = 0; index < pages; ++index) {
        if (index > 0)
            printer.newPage();
        const QRectF view(0, index * page.height(), page.width(), page.height());
        painter.save();
        painter.translate(0, -view.top());
        painter.setClipRect(view);
        QAbstractTextDocumentLayout::PaintContext context;
        context.clip = view;
        context.palette.setColor(QPalette::Text, Qt::black);
        copy->documentLayout()->draw(&painter, context);
        painter.restore();
    }
    painter.end();
}

} // namespace orvela::richtext
