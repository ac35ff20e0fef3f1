include $(sort $(wildcard $(BR2_EXTERNAL_SCHEDTOOLS_PATH)/package/*/*.mk))
