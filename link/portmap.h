#pragma once

#include <QString>

namespace veq {

// The device behind port number n. On Windows "COMn"; elsewhere the path in the environment
// variable VEQ_COMn when it is set (VEQ_COM3=/dev/ttyUSB0), otherwise /dev/ttyS(n-1).
QString portDevice(int number);

}  // namespace veq
