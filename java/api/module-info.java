/**
 * The typed Java API of the DLN adapter and the robot's devices, with its own native library
 * ({@code i2cdln}) carried in the jar. Start from {@link i2cdln.Dln#create()}.
 */
module i2cdln {
    exports i2cdln;
}
