// STUB: replaced by the 52X image decode/encode.
#include "MemoryImage.h"
namespace qel {
void DecodeMemoryImage(AppState &) {}
void EncodeMemoryImage(const ParameterRecord &, QByteArray &) {}
}
