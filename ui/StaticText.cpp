#include "ui/StaticText.h"

#include <QFontMetrics>
#include <QPainter>
#include <QStyle>
#include <algorithm>

namespace {

// Where the first line of `text` ends: before the last blank after which the words still fit
// `width`, or at the end when all do. A first word wider than the line breaks between characters,
// after the last one that fits (at least one).
qsizetype FirstLineEnd(const QString& text, const QFontMetrics& metrics, int width) {
    qsizetype end = 0;
    for (qsizetype i = 1; i <= text.size(); ++i) {
        const bool wordEnds = i == text.size() || (text[i] == u' ' && text[i - 1] != u' ');
        if (!wordEnds) continue;
        if (metrics.horizontalAdvance(text.left(i)) > width) break;
        end = i;
    }
    if (end > 0) return end;
    for (end = 1; end < text.size(); ++end) {
        if (metrics.horizontalAdvance(text.left(end + 1)) > width) break;
    }
    return end;
}

}  // namespace

StaticText::StaticText(const QString& text, Qt::Alignment alignment, QWidget* parent)
    : QLabel(text, parent) {
    setTextFormat(Qt::PlainText);
    setAlignment(alignment);
}

QStringList StaticText::ShownLines() const {
    const QFontMetrics metrics = fontMetrics();
    const QRect area = contentsRect();
    const int lines =
        (alignment() & Qt::AlignVCenter) ? 1 : std::max(1, area.height() / metrics.height());
    QStringList shown;
    QString rest = text();
    while (!rest.isEmpty() && shown.size() < lines) {
        const qsizetype end = FirstLineEnd(rest, metrics, area.width());
        shown << rest.left(end);
        // The blanks where a line breaks belong to neither line.
        rest = rest.mid(end);
        rest.remove(0, std::find_if(rest.begin(), rest.end(), [](QChar c) { return c != u' '; }) -
                           rest.begin());
    }
    return shown;
}

// Painted as a label paints its text, only with the lines that are shown.
void StaticText::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const int flags = QStyle::visualAlignment(layoutDirection(), alignment());
    style()->drawItemText(&painter, contentsRect(), flags, palette(), isEnabled(),
                          ShownLines().join(u'\n'), foregroundRole());
}
