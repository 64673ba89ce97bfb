#pragma once
#include <QPixmap>

namespace hv {

// The product's logo: a membrane leaf with the permeate channel, drawn at any size.
QPixmap HevrinLogo(int size);

} // namespace hv
