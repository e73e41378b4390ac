/** The quick-start program as a module of its own, on the module path beside i2cdln. */
module robot {
    requires i2cdln;
}
