#include "link/link_byte.h"
#include "link/link_port_virtual.h"
#include "link/link_state.h"
#include "tests/support/calculator_thread.h"

#include <gtest/gtest.h>

#include <vector>

TEST(LinkByte, EveryValueGoesBothWays) {
    CalculatorThread calculator;
    std::vector<std::uint8_t> echoed;
    calculator.Run([](CalculatorLink& link) {
        for (int value = 0; value < 256; ++value) {
            std::uint8_t byte;
            if (!link.ReceiveByte(&byte) || !link.SendByte(byte))
                return;
        }
    });
    for (int value = 0; value < 256; ++value) {
        SendLinkByte(static_cast<std::uint8_t>(value));
        echoed.push_back(ReceiveLinkByte());
    }
    ASSERT_TRUE(calculator.Join());
    EXPECT_FALSE(LinkGivenUp());
    for (int value = 0; value < 256; ++value)
        EXPECT_EQ(echoed[value], value);
}
