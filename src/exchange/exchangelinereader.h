#ifndef METROVA_EXCHANGELINEREADER_H
#define METROVA_EXCHANGELINEREADER_H

#include <QByteArray>
#include <QString>

#include <memory>

class QIODevice;
class QTextDecoder;

// Reads an exchange file line by line in memory bounded by the longest line it keeps, not by the
// file: a file of any size is read as it goes, and an endless device is refused at its first
// line. CR, LF and CR LF end a line alike. A file that starts with a byte-order mark is in that
// encoding; otherwise each line is UTF-8 where its bytes are, else Latin-1, so that a file put
// together from several sources reads as each part was written.
class TExchangeLineReader
{
public:
  // A longer line is given cut, to be skipped. Room for three names as long as older versions
  // let them be stored (a command-line argument takes up to 128 KiB), which an export writes and
  // its import must read back.
  static constexpr int MAXIMUM_LINE_BYTES = 1024 * 1024;

  explicit TExchangeLineReader(QIODevice *device);
  ~TExchangeLineReader();
  TExchangeLineReader(const TExchangeLineReader &) = delete;
  TExchangeLineReader &operator=(const TExchangeLineReader &) = delete;

  // The next line without its end; false at the end of the file or when it cannot be read (then
  // Error_Text says why). A line longer than the maximum gives its beginning with *too_long set;
  // the rest of it is passed over by the next call.
  bool Next(QString *line, bool *too_long);
  // The same as bytes, valid until the next call: the file's own, or UTF-8 for a file with a
  // byte-order mark. Text() reads them as Next() gives them.
  bool Next(const char **line, int *size, bool *too_long);
  QString Text(const char *line, int size) const;
  // The bytes of the file read up to the end of the last line given, for progress.
  qint64 Position() const;
  QString Error_Text() const { return d_error_text; }

  // A line's text when the file has no byte-order mark.
  static QString Decode_Line(const char *bytes, int size);

private:
  // Reads the next block; false at the end or on an error.
  bool Fill();

  QIODevice *d_device;
  QByteArray d_buffer;
  // The first byte of the line being read, and how far it has been searched for its end.
  int d_start = 0;
  int d_scanned = 0;
  bool d_started = false;
  // The last line ended with CR: an LF that follows belongs to it.
  bool d_skip_line_feed = false;
  // The rest of a line too long is being passed over.
  bool d_passing_over = false;
  // A file with a byte-order mark is decoded to UTF-8 as it is read.
  std::unique_ptr<QTextDecoder> d_decoder;
  qint64 d_read = 0;
  QString d_error_text;
};

#endif // METROVA_EXCHANGELINEREADER_H
