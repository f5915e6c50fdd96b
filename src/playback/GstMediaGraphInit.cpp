#include "playback/GstMediaGraph.h"

#include "platform/GstInit.h"

void GstMediaGraph::ensureInitialised()
{
    gst_start::ensureInitialised();
}
