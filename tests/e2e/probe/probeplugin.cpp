#include "windowprobe.h"

#include <QGenericPlugin>

// Loaded into the program by QT_QPA_GENERIC_PLUGINS=quorvaneprobe; the file to write comes from
// QUORVANE_PROBE_FILE, the class of the window to close once shown from QUORVANE_PROBE_CLOSE.
class ProbePlugin : public QGenericPlugin {
    Q_OBJECT
    Q_PLUGIN_METADATA(IID QGenericPluginFactoryInterface_iid FILE "quorvaneprobe.json")
public:
    QObject *create(const QString &, const QString &) override
    {
        const QString path = qEnvironmentVariable("QUORVANE_PROBE_FILE");
        return path.isEmpty() ? nullptr : new WindowProbe(path, qEnvironmentVariable("QUORVANE_PROBE_CLOSE"));
    }
};

#include "probeplugin.moc"
