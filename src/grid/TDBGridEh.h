#pragma once
// The data grid as the window places it.

#include "TCustomDBGridEh.h"

class TDBGridEh : public TCustomDBGridEh
{
    Q_OBJECT

public:
    explicit TDBGridEh(QWidget* parent = nullptr) : TCustomDBGridEh(parent) {}
};
