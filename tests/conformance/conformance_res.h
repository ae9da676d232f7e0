// Resource ids of the conformance tests.
#pragma once
