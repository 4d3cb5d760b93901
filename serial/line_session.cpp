#include "serial/line_session.h"

#include <QTimer>

namespace panel {

LineSession::LineSession(const LineConfig& line, SessionRequest request, SessionEvents events)
    : events_(std::move(events)),
      line_(line),
      session_(line_.port(), Timers{repeat_, replyWindow_, selectorHide_, clearing_}, quiet_,
               std::move(request),
               SessionEvents{[this](const CodeAnswer& answer) {
                                 if (events_.answered) events_.answered(answer);
                             },
                             [this](SessionEnd end, const std::string& problem) {
                                 QTimer::singleShot(0, &context_, [this, end, problem] {
                                     if (events_.ended) events_.ended(end, problem);
                                 });
                             }}) {}

}  // namespace panel
