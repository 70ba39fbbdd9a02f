#pragma once

#include "platform/ui/DialogBase.h"

// The line-speed dialog: steps the rate of the open port through the
// speed ladder or takes a typed rate, and applies it on OK while the
// workers keep running.
class CDskor : public platform::ui::DialogBase {
public:
    explicit CDskor(platform::ui::DialogBase* parent = nullptr);

    int m_speed = 0;

    void OnSpeedSpin(int delta);
    void OnSpeedOk();

protected:
    void DoDataExchange(platform::ui::DataExchange& dx) override;
    bool OnInitDialog() override;
};
