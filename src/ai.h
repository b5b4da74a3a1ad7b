// Computer opponents: the strategy base that a computer player owns.
#pragma once

class BaseAI {
public:
    virtual ~BaseAI() = default;
};
