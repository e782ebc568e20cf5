#include "exchangelinereader.h"

#include <QIODevice>
#include <QTextCodec>

namespace
{
constexpr int BLOCK_SIZE = 64 * 1024;
} // namespace

TExchangeLineReader::TExchangeLineReader(QIODevice *device) : d_device(device) {}

TExchangeLineReader::~TExchangeLineReader() = default;

QString TExchangeLineReader::Decode_Line(const char *bytes, int size)
{
  int index = 0;
  while (index < size && static_cast<unsigned char>(bytes[index]) < 0x80)
  {
    ++index;
  }
  if (index == size)
  {
    return QString::fromLatin1(bytes, size);
  }
  static QTextCodec *const utf8 = QTextCodec::codecForName("UTF-8");
  // A byte-order mark inside the text is a character like any other.
  QTextCodec::ConverterState state(QTextCodec::IgnoreHeader);
  const QString text = utf8->toUnicode(bytes, size, &state);
  return state.invalidChars == 0 && state.remainingChars == 0 ? text
                                                              : QString::fromLatin1(bytes, size);
}

QString TExchangeLineReader::Text(const char *line, int size) const
{
  // Decoded from its mark, every line is UTF-8 already.
  return d_decoder ? QString::fromUtf8(line, size) : Decode_Line(line, size);
}

qint64 TExchangeLineReader::Position() const
{
  return d_decoder ? d_read : d_read - (d_buffer.size() - d_start);
}

bool TExchangeLineReader::Fill()
{
  // What was given is dropped: the buffer holds one line at most.
  d_buffer.remove(0, d_start);
  d_scanned -= d_start;
  d_start = 0;
  char block[BLOCK_SIZE];
  const qint64 count = d_device->read(block, BLOCK_SIZE);
  if (count < 0)
  {
    d_error_text = d_device->errorString();
    return false;
  }
  if (count == 0)
  {
    return false;
  }
  d_read += count;
  const QByteArray bytes = QByteArray::fromRawData(block, static_cast<int>(count));
  if (!d_started)
  {
    d_started = true;
    if (QTextCodec *codec = QTextCodec::codecForUtfText(bytes, nullptr))
    {
      d_decoder.reset(codec->makeDecoder());
    }
  }
  if (d_decoder)
  {
    d_buffer += d_decoder->toUnicode(bytes).toUtf8();
  }
  else
  {
    d_buffer.append(block, static_cast<int>(count));
  }
  return true;
}

bool TExchangeLineReader::Next(QString *line, bool *too_long)
{
  const char *bytes = nullptr;
  int size = 0;
  if (!Next(&bytes, &size, too_long))
  {
    return false;
  }
  *line = Text(bytes, size);
  return true;
}

bool TExchangeLineReader::Next(const char **line, int *size, bool *too_long)
{
  // The line stays in the buffer, which only the next call changes.
  const auto give = [this, line, size](int start, int end)
  {
    *line = d_buffer.constData() + start;
    *size = end - start;
  };
  *too_long = false;
  for (;;)
  {
    const char *data = d_buffer.constData();
    const int size = d_buffer.size();
    if (d_skip_line_feed && d_start < size)
    {
      d_skip_line_feed = false;
      if (data[d_start] == '\n')
      {
        d_scanned = ++d_start;
      }
    }
    int end = qMax(d_scanned, d_start);
    while (end < size && data[end] != '\n' && data[end] != '\r')
    {
      ++end;
    }
    if (end < size)
    {
      const bool passed_over = d_passing_over;
      d_passing_over = false;
      // CR LF is one end; an LF not yet read is passed over by the next call.
      const bool pair = data[end] == '\r' && end + 1 < size && data[end + 1] == '\n';
      d_skip_line_feed = data[end] == '\r' && end + 1 == size;
      const int start = d_start;
      d_start = d_scanned = end + (pair ? 2 : 1);
      if (passed_over)
      {
        continue;
      }
      *too_long = end - start > MAXIMUM_LINE_BYTES;
      give(start, *too_long ? start + MAXIMUM_LINE_BYTES : end);
      return true;
    }
    d_scanned = end;
    if (d_passing_over)
    {
      d_start = d_scanned = size;
    }
    else if (size - d_start > MAXIMUM_LINE_BYTES)
    {
      // Given now, so that an endless line is refused without reading it to its end.
      give(d_start, d_start + MAXIMUM_LINE_BYTES);
      *too_long = true;
      d_passing_over = true;
      d_start = d_scanned = size;
      return true;
    }
    if (!Fill())
    {
      if (d_decoder && d_decoder->needsMoreData() && d_error_text.isEmpty())
      {
        // A character cut short at the end reads as a replacement character.
        d_buffer += QString(QChar::ReplacementCharacter).toUtf8();
        d_decoder.reset(QTextCodec::codecForName("UTF-8")->makeDecoder());
        continue;
      }
      if (d_passing_over || d_start >= d_buffer.size() || !d_error_text.isEmpty())
      {
        d_passing_over = false;
        d_start = d_scanned = d_buffer.size();
        return false;
      }
      give(d_start, d_buffer.size());
      d_start = d_scanned = d_buffer.size();
      return true;
    }
  }
}
