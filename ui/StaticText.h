#pragma once

#include <QLabel>
#include <QStringList>

// A static text of the template. Its lines break between words, and only the lines its rectangle
// holds are shown: a caption longer than its rectangle loses whole words below its last line,
// never half a glyph. A vertically centred text is one line. The text itself stays whole.
class StaticText : public QLabel {
    Q_OBJECT

public:
    StaticText(const QString& text, Qt::Alignment alignment, QWidget* parent);

    // The lines as they are painted.
    QStringList ShownLines() const;

protected:
    void paintEvent(QPaintEvent* event) override;
};
