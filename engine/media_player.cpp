#include "engine/media_player.hpp"

namespace fw {

Lazy<QelMediaPlayCls> MediaPlay;

void QelMediaPlayCls::Load(void*) {}
void QelMediaPlayCls::PlayLogo() {}

}  // namespace fw
