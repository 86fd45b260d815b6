#pragma once
// The arcball a mesh object carries: the framework's arcball under the name
// the scene objects declare.
#include "framework/Camera.h"

class CD3DArcBall : public fw::CArcBall {};
