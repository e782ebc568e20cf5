#include "specificationeditordialog.h"
#include "database.h"
#include "databaseitem.h"
#include "editabletable.h"
#include "expressionitem.h"
#include "messagebox.h"

#include <QApplication>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSpacerItem>
#include <QTableWidget>
#include <QTableWidgetItem>

namespace
{
const int COLUMN_STANDARD = 0;
const int COLUMN_COMPONENT = 1;
const int COLUMN_EXPRESSION = 2;
const int COLUMN_STATUS = 3;
const int COLUMN_COUNT = 4;

const int STATUS_LABEL_MINIMUM_WIDTH = 80;

const QString STATUS_OK = QStringLiteral("Ok");
const QString STATUS_INVALID = QStringLiteral("Invalid");
// The red of the limits dialog's temperature warning.
const QColor INVALID_COLOUR(0xb0, 0x00, 0x00);
const QString EXISTS = QStringLiteral("Exists");

QFrame *New_Line(QWidget *parent)
{
  QFrame *line = new QFrame(parent);
  line->setFrameShape(QFrame::HLine);
  line->setFrameShadow(QFrame::Sunken);
  return line;
}

// Standard, component and status are for reading only.
QTableWidgetItem *New_Fixed_Item(const QString &text)
{
  QTableWidgetItem *item = new QTableWidgetItem(text);
  item->setFlags(Qt::ItemIsEnabled);
  return item;
}

// Replaces the field's text by its cleaned form without reporting an edit. Returns the
// cleaned text. Names are cleaned as the import cleans them, so that a saved machine comes back
// under the same name from an exchange file.
QString Cleaned_Name(QLineEdit *field, bool *changed)
{
  const QString text = field->text().trimmed();
  const QString cleaned = TDatabaseItem::Cleaned_Name(text);
  if (cleaned != text)
  {
    const QSignalBlocker blocker(field);
    field->setText(cleaned);
    *changed = true;
  }
  return cleaned;
}
} // namespace

TSpecificationEditorDialog::TSpecificationEditorDialog(QWidget *parent, Qt::WindowFlags flags)
    : QDialog(parent, flags), d_database(nullptr), d_message_box(nullptr), d_read_only(false)
{
  resize(601, 801);

  QGridLayout *layout = new QGridLayout(this);

  d_make_edit = new QLineEdit(this);
  d_model_edit = new QLineEdit(this);
  d_option_edit = new QLineEdit(this);
  d_make_status_label = new QLabel(this);
  d_model_status_label = new QLabel(this);
  d_option_status_label = new QLabel(this);

  QLineEdit *const edits[] = {d_make_edit, d_model_edit, d_option_edit};
  QLabel *const status_labels[] = {d_make_status_label, d_model_status_label,
                                   d_option_status_label};
  const char *const names[] = {"make", "model", "option"};
  const char *const label_texts[] = {"Make:", "Model:", "Option:"};

  for (int row = 0; row < 3; ++row)
  {
    QLabel *label = new QLabel(QLatin1String(label_texts[row]), this);
    label->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Preferred);

    edits[row]->setObjectName(QLatin1String(names[row]) + QLatin1String("_edit"));
    edits[row]->setAlignment(Qt::AlignCenter);

    status_labels[row]->setObjectName(QLatin1String(names[row]) + QLatin1String("_status"));
    status_labels[row]->setMinimumWidth(STATUS_LABEL_MINIMUM_WIDTH);
    status_labels[row]->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Preferred);

    layout->addWidget(label, row, 0);
    layout->addWidget(edits[row], row, 1);
    layout->addWidget(status_labels[row], row, 2);
  }

  layout->addWidget(New_Line(this), 3, 0, 1, 3);

  // Tab goes from expression to expression.
  d_table = new TEditableTable(this);
  d_table->setObjectName(QStringLiteral("specification_table"));
  d_table->verticalHeader()->setVisible(false);
  Set_Table_Header();
  // Typed expressions get the spare width; the other columns fit their texts. Headings sit
  // over the left-aligned cells, as in the main window's tree.
  d_table->horizontalHeader()->setSectionResizeMode(COLUMN_EXPRESSION, QHeaderView::Stretch);
  d_table->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  layout->addWidget(d_table, 4, 0, 1, 3);

  // Why the invalid rows are invalid, where the eye is.
  d_hint_label = new QLabel(this);
  d_hint_label->setObjectName(QStringLiteral("hint_label"));
  d_hint_label->setWordWrap(true);
  // Room for two lines, so that the first hints do not move the table.
  d_hint_label->setMinimumHeight(2 * d_hint_label->fontMetrics().lineSpacing());
  d_hint_label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  d_hint_label->setTextFormat(Qt::PlainText);
  layout->addWidget(d_hint_label, 5, 0, 1, 3);

  layout->addWidget(New_Line(this), 6, 0, 1, 3);

  QHBoxLayout *button_layout = new QHBoxLayout();
  button_layout->addItem(new QSpacerItem(0, 0, QSizePolicy::Expanding, QSizePolicy::Minimum));
  // Neither button is auto-default: Return in a field or cell must not close the editor.
  d_cancel_button = new QPushButton(QStringLiteral("Cancel"), this);
  d_cancel_button->setAutoDefault(false);
  button_layout->addWidget(d_cancel_button);
  d_accept_button = new QPushButton(QStringLiteral("Accept"), this);
  d_accept_button->setObjectName(QStringLiteral("accept_button"));
  d_accept_button->setAutoDefault(false);
  d_accept_button->setEnabled(false);
  button_layout->addWidget(d_accept_button);
  layout->addLayout(button_layout, 7, 0, 1, 3);

  layout->setColumnStretch(1, 1);

  setWindowTitle(QStringLiteral("Specification Editor"));
  // Its questions come up over the editor, under the editor's name.
  d_message_box = new TMessageBox(this);
  d_message_box->setWindowTitle(windowTitle());
  setMinimumSize(560, 440);

  connect(d_accept_button, &QPushButton::clicked, this, &QDialog::accept);
  connect(d_cancel_button, &QPushButton::clicked, this, &QDialog::reject);
  connect(d_table, &QTableWidget::cellChanged, this, &TSpecificationEditorDialog::Cell_Changed);
  connect(d_make_edit, &QLineEdit::editingFinished, this,
          &TSpecificationEditorDialog::Identification_Changed);
  connect(d_model_edit, &QLineEdit::editingFinished, this,
          &TSpecificationEditorDialog::Identification_Changed);
  connect(d_option_edit, &QLineEdit::editingFinished, this,
          &TSpecificationEditorDialog::Identification_Changed);
}

TSpecificationEditorDialog::~TSpecificationEditorDialog()
{
  // QDialog hides itself on destruction, which takes the focus from a field: its editingFinished
  // must not reach members already destroyed.
  for (QObject *child : findChildren<QObject *>())
  {
    child->disconnect(this);
  }
}

void TSpecificationEditorDialog::Set_Data(TDatabase *database, const QString &make,
                                          const QString &model, const QString &option,
                                          const QList<TEditorRow> &rows)
{
  Q_ASSERT(database);

  d_database = database;
  const bool signals_were_blocked = d_table->blockSignals(true);

  d_rows = rows;
  for (QLineEdit *field : {d_make_edit, d_model_edit, d_option_edit})
  {
    field->setReadOnly(d_read_only);
  }
  d_make_edit->setText(make);
  d_model_edit->setText(model);
  d_option_edit->setText(option);

  // The names come from the window's lists, so they exist when given.
  d_make_status_label->setText(make.isEmpty() ? QString() : EXISTS);
  d_model_status_label->setText(model.isEmpty() ? QString() : EXISTS);
  d_option_status_label->setText(option.isEmpty() ? QString() : EXISTS);

  d_table->clear();
  Set_Table_Header();
  d_table->setRowCount(d_rows.size());

  for (int row = 0; row < d_rows.size(); ++row)
  {
    TEditorRow &editor_row = d_rows[row];
    editor_row.valid = 1;
    d_table->setItem(row, COLUMN_STANDARD, New_Fixed_Item(editor_row.standard));
    d_table->setItem(row, COLUMN_COMPONENT, New_Fixed_Item(editor_row.component));
    QTableWidgetItem *expression_item = new QTableWidgetItem(editor_row.expression);
    if (d_read_only)
    {
      expression_item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
    }
    d_table->setItem(row, COLUMN_EXPRESSION, expression_item);
    d_table->setItem(row, COLUMN_STATUS, New_Fixed_Item(QString()));
  }

  Update_All_Status();
  d_table->blockSignals(signals_were_blocked);
  d_table->resizeColumnsToContents();
  d_accept_button->setEnabled(false);
  Show_Hints();
  d_loaded_texts = Entered_Texts();
  // Where the user types first; a catalogue that cannot be changed is only read.
  if (d_read_only)
  {
    d_table->setFocus();
  }
  else
  {
    d_make_edit->setFocus();
  }
}

QString TSpecificationEditorDialog::Make_Text() const
{
  return d_make_edit->text().trimmed();
}

QString TSpecificationEditorDialog::Model_Text() const
{
  return d_model_edit->text().trimmed();
}

QString TSpecificationEditorDialog::Option_Text() const
{
  return d_option_edit->text().trimmed();
}

QList<TEditorRow> TSpecificationEditorDialog::Rows() const
{
  return d_rows;
}

void TSpecificationEditorDialog::reject()
{
  // A cell still being edited holds typed text as well: taking the focus away commits it.
  if (d_table->viewport()->isAncestorOf(QApplication::focusWidget()))
  {
    d_table->setFocus();
  }
  if (Entered_Texts() != d_loaded_texts &&
      d_message_box->Show(QStringLiteral("Discard Changes"),
                          QStringLiteral("Discard the changes to this specification?"), QString(),
                          QMessageBox::Yes | QMessageBox::No, QMessageBox::No,
                          QMessageBox::Question) != QMessageBox::Yes)
  {
    return;
  }
  QDialog::reject();
}

// The three names and every expression cell, as shown.
QStringList TSpecificationEditorDialog::Entered_Texts() const
{
  QStringList texts = {d_make_edit->text(), d_model_edit->text(), d_option_edit->text()};
  for (int row = 0; row < d_table->rowCount(); ++row)
  {
    const QTableWidgetItem *item = d_table->item(row, COLUMN_EXPRESSION);
    texts.append(item ? item->text() : QString());
  }
  return texts;
}

void TSpecificationEditorDialog::Cell_Changed(int row, int column)
{
  Q_UNUSED(column);
  Update_Row_Status(row);
  Update_Accept_State();
}

void TSpecificationEditorDialog::Identification_Changed()
{
  Update_Accept_State();
  Check_Identification();
}

void TSpecificationEditorDialog::Set_Table_Header()
{
  d_table->setColumnCount(COLUMN_COUNT);
  d_table->setHorizontalHeaderLabels({QStringLiteral("Standard"), QStringLiteral("Component"),
                                      QStringLiteral("Specification Expression"),
                                      QStringLiteral("Expression Status")});
}

void TSpecificationEditorDialog::Update_All_Status()
{
  const int row_count = qMin(d_table->rowCount(), d_rows.size());

  for (int row = 0; row < row_count; ++row)
  {
    const QTableWidgetItem *expression_item = d_table->item(row, COLUMN_EXPRESSION);
    if (!expression_item)
    {
      continue;
    }

    const QString text = expression_item->text().trimmed();
    const bool accepted =
        text.isEmpty() || TSpecificationEdit::Accepts(text, d_rows.at(row).expression_types);
    // An empty cell keeps the row's flag.
    if (!text.isEmpty())
    {
      d_rows[row].valid = accepted ? 1 : 0;
    }
    Set_Row_Status(row, text, accepted);
  }
}

void TSpecificationEditorDialog::Update_Row_Status(int row)
{
  if (row < 0 || row >= d_table->rowCount() || row >= d_rows.size())
  {
    return;
  }

  const QTableWidgetItem *expression_item = d_table->item(row, COLUMN_EXPRESSION);
  TEditorRow &editor_row = d_rows[row];
  const QString text = expression_item ? expression_item->text().trimmed() : QString();
  bool accepted = true;

  if (text.isEmpty())
  {
    editor_row.expression.clear();
  }
  else
  {
    const QString completed = TSpecificationEdit::Completed_Text(text, editor_row.expression_types);
    accepted = TSpecificationEdit::Accepts(completed, editor_row.expression_types);
    // An invalid row keeps its last accepted expression.
    if (accepted)
    {
      editor_row.expression = completed;
    }
  }
  editor_row.valid = accepted ? 1 : 0;
  Set_Row_Status(row, text, accepted);
  Show_Hints();
}

// Writes the status of a row's text and, when it is refused, the reason as the status cell's
// tool tip. Writing them is not an edit of the row.
void TSpecificationEditorDialog::Set_Row_Status(int row, const QString &text, bool accepted)
{
  const QSignalBlocker blocker(d_table);
  QTableWidgetItem *status_item = d_table->item(row, COLUMN_STATUS);
  if (!status_item)
  {
    status_item = New_Fixed_Item(QString());
    d_table->setItem(row, COLUMN_STATUS, status_item);
  }
  status_item->setText(text.isEmpty() ? QString() : accepted ? STATUS_OK : STATUS_INVALID);
  status_item->setForeground(accepted ? d_table->palette().text() : QBrush(INVALID_COLOUR));
  status_item->setToolTip(
      accepted ? QString()
               : TSpecificationEdit::Rejection_Hint(text, d_rows.at(row).expression_types));
}

void TSpecificationEditorDialog::Show_Hints()
{
  QStringList hints;
  if (d_read_only)
  {
    hints.append(QStringLiteral("The catalogue is read-only: the specification is shown, not "
                                "changed."));
  }
  if (!d_name_problem.isEmpty())
  {
    hints.append(d_name_problem.left(1).toUpper() + d_name_problem.mid(1) + QLatin1Char('.'));
  }
  for (int row = 0; row < d_rows.size() && row < d_table->rowCount(); ++row)
  {
    const QTableWidgetItem *status_item = d_table->item(row, COLUMN_STATUS);
    if (status_item && !status_item->toolTip().isEmpty())
    {
      hints.append(d_rows.at(row).standard + QLatin1Char(' ') + d_rows.at(row).component +
                   QStringLiteral(": ") + status_item->toolTip());
    }
  }
  d_hint_label->setText(hints.join(QLatin1Char('\n')));
}

void TSpecificationEditorDialog::Set_Name_Problem(const QString &problem)
{
  if (problem != d_name_problem)
  {
    d_name_problem = problem;
    Update_Accept_State();
    Show_Hints();
  }
}

void TSpecificationEditorDialog::Update_Accept_State()
{
  d_accept_button->setEnabled(false);

  if (d_read_only || !d_name_problem.isEmpty() || Make_Text().isEmpty() || Model_Text().isEmpty() ||
      Option_Text().isEmpty())
  {
    return;
  }

  for (const TEditorRow &row : d_rows)
  {
    if (!row.valid)
    {
      return;
    }
  }

  d_accept_button->setEnabled(true);
}

void TSpecificationEditorDialog::Check_Identification()
{
  Q_ASSERT(d_database);

  if (Make_Text().isEmpty())
  {
    Set_Name_Problem(QString());
    d_make_status_label->clear();
    d_model_status_label->clear();
    d_option_status_label->clear();
    return;
  }

  // All three names are cleaned, whether they exist or not, so that what the caller reads
  // is what would be stored.
  bool cleaned = false;
  const QString make = Cleaned_Name(d_make_edit, &cleaned);
  const QString model = Model_Text().isEmpty() ? QString() : Cleaned_Name(d_model_edit, &cleaned);
  const QString option =
      Option_Text().isEmpty() ? QString() : Cleaned_Name(d_option_edit, &cleaned);

  // A name made only of removed characters is now empty.
  if (cleaned)
  {
    Update_Accept_State();
  }
  QString problem;
  if (!d_database->New_Name_Problem({make, model, option}, &problem))
  {
    problem = d_database->Last_Error();
  }
  Set_Name_Problem(problem);

  const bool make_exists = d_database->Make_Exists(make);
  bool model_exists = false;
  bool option_exists = false;

  if (make_exists && !model.isEmpty())
  {
    model_exists = d_database->Model_Exists(make, model);
    if (model_exists && !option.isEmpty())
    {
      option_exists = d_database->Option_Exists(make, model, option);
    }
  }

  d_make_status_label->setText(make_exists ? EXISTS : QString());
  d_model_status_label->setText(model_exists ? EXISTS : QString());
  d_option_status_label->setText(option_exists ? EXISTS : QString());
}
