#ifndef METROVA_EXCHANGEGENERATOR_H
#define METROVA_EXCHANGEGENERATOR_H

#include <QByteArray>
#include <QString>

// Builds an exchange file of the given number of machine configurations that looks like a real
// catalogue: about fifty makes of very different sizes, one or two standards per configuration,
// and the expression kinds in the proportions manufacturers use them. The same seed always gives
// the same bytes. With large_make_models, that many of the configurations go to one more make,
// LARGE_MAKE, one option per model: the largest list of models a window has to show.
QByteArray Generate_Exchange_File(int configurations, quint32 seed = 1, int large_make_models = 0);

// Writes Generate_Exchange_File to a file; false with a reason when the file cannot be written.
bool Write_Exchange_File(const QString &file_name, int configurations, QString *error,
                         quint32 seed = 1, int large_make_models = 0);

extern const char *const LARGE_MAKE;

#endif // METROVA_EXCHANGEGENERATOR_H
