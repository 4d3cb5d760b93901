#include "serial/operation_spans.h"

#include <QMetaObject>
#include <QObject>

namespace panel {

void OperationSpans::tell(QObject* context, const std::function<void()>& tell) const {
    if (busy())
        QMetaObject::invokeMethod(context, tell, Qt::QueuedConnection);
    else
        tell();
}

}  // namespace panel
