#ifndef METROVA_PDFOUTPUT_H
#define METROVA_PDFOUTPUT_H

#include <QString>

#include <functional>

class QPrinter;

// Writes a report as a PDF file without ever leaving a partial one: it is drawn into an unnamed
// file in the target's folder, checked to be a complete PDF, and only then put in its place.
class TPdfOutput
{
public:
  // Draws the pages on a printer in PDF mode (screen resolution, portrait, no margins); false
  // with *reason when the PDF writer fails.
  using TDraw = std::function<bool(QPrinter *printer, QString *reason)>;

  // On failure returns false, leaves an existing file_name as it was, and sets *error_text (when
  // given) to a text naming the file and the reason.
  static bool Write(const QString &file_name, const TDraw &draw, QString *error_text);
};

#endif // METROVA_PDFOUTPUT_H
