#include "history/service_report_pdf.h"

#include <QAbstractTextDocumentLayout>
#include <QBuffer>
#include <QMarginsF>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QTextDocument>

#include "platform/file_writing.h"

namespace orvik::history {

namespace {

constexpr int kDotsPerInch = 300;
constexpr double kMarginMillimetres = 15;
constexpr double kFooterPoints = 8;

// Lays the document out on the writer's pages and paints them, each with a footer line in the bottom
// margin: the report's title and "Page 2 of 3", so that loose pages find their unit and their order.
// (QTextDocument::print would add 2 cm of its own margin inside the page's.)
bool paintPages(QTextDocument& document, QPdfWriter& writer) {
  QPainter painter;
  if (!painter.begin(&writer)) return false;
  document.documentLayout()->setPaintDevice(&writer);  // points at the writer's resolution
  document.setDocumentMargin(0);                       // the page layout holds the margins
  const QSizeF page(writer.width(), writer.height());  // the printable area, in the writer's dots
  document.setPageSize(page);
  const QString title = document.metaInformation(QTextDocument::DocumentTitle);
  QFont footerFont = document.defaultFont();
  footerFont.setPointSizeF(kFooterPoints);
  const double footerTop = page.height() + kMarginMillimetres / 3 / 25.4 * kDotsPerInch;
  const QRectF footer(0, footerTop, page.width(), kMarginMillimetres / 2 / 25.4 * kDotsPerInch);

  const int pages = document.pageCount();
  for (int i = 0; i < pages; ++i) {
    if (i > 0 && !writer.newPage()) return false;
    painter.save();
    const QRectF shown(0, i * page.height(), page.width(), page.height());
    painter.translate(0, -shown.top());
    painter.setClipRect(shown);
    QAbstractTextDocumentLayout::PaintContext context;
    context.clip = shown;
    context.palette.setColor(QPalette::Text, Qt::black);  // paper, whatever the desktop's colours
    document.documentLayout()->draw(&painter, context);
    painter.restore();
    painter.setFont(footerFont);
    painter.drawText(footer, Qt::AlignLeft | Qt::AlignTop, title);
    painter.drawText(footer, Qt::AlignRight | Qt::AlignTop, QString("Page %1 of %2").arg(i + 1).arg(pages));
  }
  return painter.end();
}

}  // namespace

std::string SaveServiceReportPdf(const std::string& html, const std::string& path) {
  // Checked before the report is drawn, and drawn in memory: the file is written whole, never waited on.
  platform::WholeFileWrite file;
  if (std::string problem = file.open(path); !problem.empty()) return problem;
  QByteArray pdf;
  {
    QBuffer buffer(&pdf);
    buffer.open(QIODevice::WriteOnly);
    QTextDocument document;
    document.setHtml(QString::fromStdString(html));
    QPdfWriter writer(&buffer);
    writer.setResolution(kDotsPerInch);
    const QMarginsF margins(kMarginMillimetres, kMarginMillimetres, kMarginMillimetres, kMarginMillimetres);
    writer.setPageLayout(
        QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, margins, QPageLayout::Millimeter));
    writer.setTitle(document.metaInformation(QTextDocument::DocumentTitle));
    writer.setCreator("Orvik Monitor");
    if (!paintPages(document, writer)) return "The PDF writer could not draw the report";
  }
  return file.finish(std::string_view(pdf.constData(), static_cast<std::size_t>(pdf.size())));
}

}  // namespace orvik::history
