// The converter's output, byte for byte, over the banks of its fuzz corpus
// (broken ones included: their refusals must read the same too). The digest
// was taken from the converter before it wrote through CRiffWriter; a change
// meant to alter what the converter writes updates it on purpose.

#include "ConversionDigest.h"

#include <gtest/gtest.h>

TEST(Sf2Converter, OutputBytesStayAsTheyWere)
{
    const ConversionDigest result = DigestOfConversions(TAMBERLY_SF2_CORPUS);
    EXPECT_EQ(result.converted, 40) << "the corpus no longer converts as many banks and presets";
    EXPECT_EQ(result.digest, 0x99f62abf8e74de65ull);
}
