#ifndef METROVA_MESSAGEBOX_H
#define METROVA_MESSAGEBOX_H

#include <QList>
#include <QMessageBox>
#include <QString>

// The window's one message box: always 500 pixels wide, a bold heading, a normal explanation and
// optional details.
class TMessageBox : public QMessageBox
{
public:
  // What exec() was asked to show while a test answered in its place.
  struct TShownMessage
  {
    QString heading;
    QString text;
    QString details;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QMessageBox::StandardButtons buttons;
    QMessageBox::StandardButton default_button = QMessageBox::NoButton;
    // Whose box it is: it comes up over its parent, under its title.
    const QWidget *parent = nullptr;
    QString title;
  };

  explicit TMessageBox(QWidget *parent = nullptr);

  virtual void setText(const QString &text);
  virtual void setInformativeText(const QString &text);

  int exec() override;

  // Shows one message, heading, explanation, details (empty for none), buttons and icon set in
  // that order, and returns the button chosen.
  int Show(const QString &heading, const QString &text, const QString &details,
           QMessageBox::StandardButtons buttons, QMessageBox::StandardButton default_button,
           QMessageBox::Icon icon);

  // Test seam: while answers are queued, exec() records the message and returns the next answer
  // instead of showing the box.
  static void Queue_Answer(QMessageBox::StandardButton answer);
  static int Queued_Answer_Count();
  static QList<TShownMessage> Take_Shown_Messages();
  static void Reset_Test_Answers();

protected:
  void resizeEvent(QResizeEvent *event) override;
  void showEvent(QShowEvent *event) override;

private:
  int d_fixed_width;
  QString d_heading;
  QString d_text;
};

#endif // METROVA_MESSAGEBOX_H
