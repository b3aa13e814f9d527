// Stands for the notification feature's header.
#pragma once
