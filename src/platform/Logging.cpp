#include "Logging.h"

Q_LOGGING_CATEGORY(lcDelivery, "com.quindlark.talvex.delivery")
Q_LOGGING_CATEGORY(lcShortcut, "talvex.shortcut")
Q_LOGGING_CATEGORY(lcSpeech, "talvex.speech")
Q_LOGGING_CATEGORY(lcAudio, "talvex.audio")
Q_LOGGING_CATEGORY(lcStore, "talvex.store")
Q_LOGGING_CATEGORY(lcRefine, "talvex.refine")
Q_LOGGING_CATEGORY(lcLlm, "talvex.llm")
Q_LOGGING_CATEGORY(lcX11, "talvex.x11")
Q_LOGGING_CATEGORY(lcAccessibility, "talvex.accessibility")
Q_LOGGING_CATEGORY(lcApp, "talvex.app")
