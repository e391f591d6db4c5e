// The emitter's meta-object comes from moc; this unit gives it a home in the core library.
#include "plugin/zeldataemitter.h"
