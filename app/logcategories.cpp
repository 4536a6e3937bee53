#include "app/logcategories.h"

Q_LOGGING_CATEGORY(lcComms, "halvern.comms", QtWarningMsg)
Q_LOGGING_CATEGORY(lcLogging, "halvern.logging", QtWarningMsg)
