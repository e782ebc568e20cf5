#ifndef METROVA_DELETEFLOW_H
#define METROVA_DELETEFLOW_H

#include <QString>
#include <QStringList>

#include <functional>

class TCatalogueController;
class TCatalogueView;
class TMessageBox;

// Deletes the makes, the model or the option selected in the browser, after asking, and a second
// time when verification records go with them; the browser then shows what the catalogue holds.
class TDeleteFlow
{
public:
  TDeleteFlow(TCatalogueController *catalogue, TCatalogueView *browser, TMessageBox *message_box);

  void Delete_Make();
  void Delete_Model();
  void Delete_Option();

private:
  // Deletes what remove() removes after asking about the level ("Make", "Model", "Option") and
  // shows the level's list refilled with names(). records() counts the verification records that
  // go with it (-1: they cannot be counted), for the second question.
  void Delete_Level(int level, const std::function<int()> &records,
                    const std::function<bool(bool)> &remove,
                    const std::function<QStringList(bool *)> &names);
  bool Records_Deletion_Confirmed(const QString &level, int records);

  TCatalogueController *d_catalogue;
  TCatalogueView *d_browser;
  TMessageBox *d_message_box;
};

#endif // METROVA_DELETEFLOW_H
